#include "ui/windows/FloatingPanel.h"

#include <QVBoxLayout>

#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

FloatingPanel::FloatingPanel(RunLoop& loop, std::function<void()> beep)
    : loop_(loop), beep_(std::move(beep)) {}

FloatingPanel::~FloatingPanel() {
    if (_floaterTimer) _floaterTimer->invalidate();
}

QWidget& FloatingPanel::panel() {
    if (!_floater) {
        // A tool window stays in front and keeps working while a modal
        // dialog runs; it never takes the key focus from the kiosk.
        _floater = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                                          Qt::WindowStaysOnTopHint |
                                                          Qt::WindowDoesNotAcceptFocus);
        _floater->setObjectName(QStringLiteral("Camara Alert HUD"));
        _floater->setAttribute(Qt::WA_ShowWithoutActivating);
        _floater->setGeometry(500, 600, 300, 100);
        _floater->setStyleSheet(
            QStringLiteral("background-color: rgba(30, 30, 30, 230); color: white;"));
        auto* layout = new QVBoxLayout(_floater.get());
        layout->setContentsMargins(8, 8, 8, 8);
        _floaterTextField = new QLabel(_floater.get());
        _floaterTextField->setWordWrap(true);
        _floaterTextField->setAlignment(Qt::AlignCenter);
        QFont f = _floaterTextField->font();
        f.setPointSize(18);
        _floaterTextField->setFont(f);
        layout->addWidget(_floaterTextField);
        _floater->setWindowOpacity(0.8);
        fader_ = std::make_unique<WindowFader>(*_floater, loop_);
        fader_->setCancelQuery([this] { return windowShouldCancelFadeAway(); });
    }
    return *_floater;
}

QString FloatingPanel::text() const {
    return _floaterTextField ? _floaterTextField->text() : QString();
}

void FloatingPanel::show(const QString& text, double alpha) {
    QWidget& p = panel();
    fader_->stop();
    _floaterTextField->setText(text);
    p.setWindowOpacity(alpha);
    p.show();
    p.raise();
}

void FloatingPanel::fadeOut(double seconds) {
    panel();
    if (seconds <= 0) {
        _floater->close();
        return;
    }
    fader_->fadeAway(seconds);
}

void FloatingPanel::floatingAlertWithString(const QString& text) {
    const QString shown = text.isNull() ? QStringLiteral("NIL ALERT!!") : text;
    GLIMRA_Log::debugf("floatingAlertWithString: [%s]", qPrintable(shown));
    // The fade (if any) asks windowShouldCancelFadeAway at its next step;
    // showing at full opacity now makes the panel stay in any case.
    QWidget& p = panel();
    _floaterTextField->setText(shown);
    p.setWindowOpacity(1.0);
    p.show();
    p.raise();
    if (_floaterDisplayTime == 0) return;
    if (_floaterTimer && _floaterTimer->isValid()) {
        // Moving the fire date: replace the timer, no second beep.
        _floaterTimer->invalidate();
    } else {
        if (beep_) beep_();
    }
    _floaterTimer = loop_.scheduleTimer(static_cast<double>(_floaterDisplayTime), false,
                                        [this](Timer& t) { noMoreFloater(t); });
}

void FloatingPanel::noMoreFloater(Timer& t) {
    t.invalidate();
    if (_floaterTimer.get() == &t) _floaterTimer.reset();
    fader_->fadeAway(1.0);
}

}  // namespace klik
