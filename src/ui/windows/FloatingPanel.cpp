#include "ui/windows/FloatingPanel.h"

#include <QVBoxLayout>
#include <QWindow>

#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

FloatingPanel::FloatingPanel(RunLoop& loop) : loop_(loop) {}

FloatingPanel::~FloatingPanel() = default;

QWidget& FloatingPanel::panel() {
    if (!_floater) {
        // A tool window stays in front and keeps working while a modal
        // dialog runs; it never takes the key focus from the kiosk.
        _floater = std::make_unique<QWidget>(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                                          Qt::WindowStaysOnTopHint |
                                                          Qt::WindowDoesNotAcceptFocus);
        _floater->setObjectName(QStringLiteral("Camara Alert HUD"));
        _floater->setWindowTitle(QStringLiteral("Camara Alert HUD"));
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
        fader_->setCancelQuery([this] { return shouldCancel_ && shouldCancel_(); });
    }
    return *_floater;
}

void FloatingPanel::setHostSource(std::function<QWidget*()> source) {
    hostSource_ = std::move(source);
}

void FloatingPanel::setFadeCancelPredicate(CancelPredicate p) {
    shouldCancel_ = std::move(p);
}

QString FloatingPanel::text() const {
    return _floaterTextField ? _floaterTextField->text() : QString();
}

void FloatingPanel::show(const QString& text, double alpha) {
    QWidget& p = panel();
    // With an owner the fade asks it at its next step; without one nobody
    // else would stop it.
    if (!shouldCancel_) fader_->stop();
    _floaterTextField->setText(text);
    p.setWindowOpacity(alpha);
    QWidget* host = hostSource_ ? hostSource_() : nullptr;
    if (host) {
        host = host->window();
        // Low on the kiosk's screen, in the middle, wherever that screen is.
        const QRect h(host->mapToGlobal(QPoint(0, 0)), host->size());
        p.setGeometry(QRect(h.x() + (h.width() - p.width()) / 2,
                            h.y() + h.height() * 3 / 4 - p.height() / 2, p.width(), p.height()));
        p.winId();
        host->winId();
        if (p.windowHandle() && host->windowHandle())
            p.windowHandle()->setTransientParent(host->windowHandle());
    }
    p.show();
    p.raise();
}

void FloatingPanel::fadeOut(double seconds) {
    panel();
    if (seconds <= 0) {
        fader_->stop();
        _floater->close();
        return;
    }
    fader_->fadeAway(seconds);
}

}  // namespace klik
