#include "ui/windows/OverlayWindow.h"

#include <QChildEvent>
#include <QEvent>

#include "log/Log.h"

namespace klik {

OverlayWindow::OverlayWindow() : QWidget(nullptr) {
    setObjectName(QStringLiteral("overlayWindow"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // Only its content is drawn; the side shows through everywhere else.
    setAutoFillBackground(false);
}

OverlayWindow::~OverlayWindow() {
    if (host_) host_->removeEventFilter(this);
    QObject::disconnect(hostGone_);
}

void OverlayWindow::detach() {
    QObject::disconnect(hostGone_);
    if (host_) host_->removeEventFilter(this);
    host_ = nullptr;
    hide();
    // Never a window of its own: it waits, hidden, for its next host.
    setParent(nullptr);
}

void OverlayWindow::attachTo(QWidget* host) {
    if (host_ == host) {
        follow();
        return;
    }
    detach();
    if (!host) return;
    host_ = host;
    host_->installEventFilter(this);
    // The host deletes its children when it goes: the overlay steps out
    // first (the signal comes before the children are deleted).
    hostGone_ = connect(host, &QObject::destroyed, this, [this] { detach(); });
    setParent(host, Qt::Widget);
    GLIMRA_Log::debugf("2011-05-01orlo cRect  = [%5.2f] [%5.2f] <========================",
                       static_cast<double>(host_->width()), static_cast<double>(host_->height()));
    follow();
}

void OverlayWindow::follow() {
    if (!host_) return;
    if (geometry() != host_->rect()) setGeometry(host_->rect());
    raise();
    show();
}

bool OverlayWindow::eventFilter(QObject* o, QEvent* e) {
    if (o != host_) return false;
    switch (e->type()) {
        case QEvent::Resize:
            follow();
            break;
        case QEvent::ChildAdded:
            // Content moved into the host later lies under the overlay.
            if (static_cast<QChildEvent*>(e)->child() != this) raise();
            break;
        default:
            break;
    }
    return false;
}

}  // namespace klik
