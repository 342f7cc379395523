#include "ui/windows/FloatingPanel.h"

#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>

#include "foundation/RunLoop.h"
#include "log/Log.h"

namespace klik {

namespace {
// The panel's smallest size, enough for a short notice.
constexpr int kPanelWidth = 300;
constexpr int kPanelHeight = 100;
}  // namespace

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
        _floater->setGeometry(500, 600, kPanelWidth, kPanelHeight);
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
    if (host) host = host->window();
    // Big enough for its text (a folder's path, a camera's name): at least
    // the panel's own size, at most most of the screen it lies on.
    const QRect area =
        host ? QRect(host->mapToGlobal(QPoint(0, 0)), host->size()) : QRect(0, 0, 1920, 1080);
    const int maxWidth = std::max(kPanelWidth, area.width() * 3 / 5);
    const QRect needed = _floaterTextField->fontMetrics().boundingRect(
        QRect(0, 0, maxWidth - 16, area.height()), Qt::TextWordWrap | Qt::AlignCenter, text);
    const int width = std::clamp(needed.width() + 40, kPanelWidth, maxWidth);
    const int height = std::clamp(needed.height() + 32, kPanelHeight, area.height() * 3 / 4);
    p.resize(width, height);
    if (host) {
        // Low on the kiosk's screen, in the middle, wherever that screen is.
        const QRect h = area;
        p.setGeometry(
            QRect(h.x() + (h.width() - p.width()) / 2,
                  std::min(h.y() + h.height() * 3 / 4 - p.height() / 2, h.bottom() - p.height()),
                  p.width(), p.height()));
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
