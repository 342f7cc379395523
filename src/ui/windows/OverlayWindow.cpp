#include "ui/windows/OverlayWindow.h"

#include <QEvent>

#include "log/Log.h"

namespace klik {

OverlayWindow::OverlayWindow()
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint) {
    setObjectName(QStringLiteral("overlayWindow"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAutoFillBackground(false);
}

OverlayWindow::~OverlayWindow() {
    if (host_) host_->removeEventFilter(this);
}

void OverlayWindow::attachTo(QWidget* host) {
    if (host_ == host) {
        follow();
        return;
    }
    if (host_) host_->removeEventFilter(this);
    host_ = host;
    if (!host_) {
        hide();
        return;
    }
    host_->installEventFilter(this);
    GLIMRA_Log::debugf("2011-05-01orlo cRect  = [%5.2f] [%5.2f] <========================",
                       static_cast<double>(host_->width()), static_cast<double>(host_->height()));
    follow();
}

void OverlayWindow::follow() {
    if (!host_) return;
    const QRect frame(host_->mapToGlobal(QPoint(0, 0)), host_->size());
    if (geometry() != frame) setGeometry(frame);
    if (host_->isVisible()) {
        if (!isVisible()) show();
        raise();
    } else {
        hide();
    }
}

bool OverlayWindow::eventFilter(QObject* o, QEvent* e) {
    if (o == host_) {
        switch (e->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Show:
            case QEvent::Hide:
            case QEvent::WindowActivate:
                follow();
                break;
            default:
                break;
        }
    }
    return false;
}

}  // namespace klik
