#include "ui/windows/LiveViewWidget.h"

#include <QImage>
#include <QPainter>
#include <QThread>

#include "app/Picture.h"
#include "app/View.h"
#include "camera/CameraNotifications.h"
#include "camera/QZNSImageFlipped.h"

namespace klik {

LiveViewWidget::LiveViewWidget(View& view, NotificationCenter& center, QWidget* parent)
    : ViewWidget(view, Kind::Image, parent), center_(center) {
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    observer_ =
        center_.addObserver(GLIMRA_CameraLiveViewImageUpdate, [this](const Notification& n) {
            const OpaqueObject* o = n.info(GLIMRA_CameraLiveViewImage).object();
            if (o) offerFrame(o->as<QZNSImageFlipped>());
        });
}

LiveViewWidget::~LiveViewWidget() {
    center_.removeObserver(observer_);
}

void LiveViewWidget::offerFrame(std::shared_ptr<QZNSImageFlipped> frame) {
    if (!frame || frame->width() <= 0 || frame->height() <= 0) return;
    bool queue = false;
    {
        std::lock_guard l(mutex_);
        if (!live_) return;
        // Counted under the lock with the frame, so the counts read together
        // in framesDropped() always agree.
        ++offered_;
        latest_ = std::move(frame);
        ++latestSeq_;
        if (QThread::currentThread() != thread() && !deliveryQueued_)
            queue = deliveryQueued_ = true;
    }
    if (QThread::currentThread() == thread()) {
        update();
    } else if (queue) {
        // One queued wake-up at a time: later frames just replace latest_.
        QMetaObject::invokeMethod(
            this,
            [this] {
                {
                    std::lock_guard l(mutex_);
                    deliveryQueued_ = false;
                }
                update();
            },
            Qt::QueuedConnection);
    }
}

std::shared_ptr<QZNSImageFlipped> LiveViewWidget::currentFrame() const {
    std::lock_guard l(mutex_);
    return latest_;
}

std::uint64_t LiveViewWidget::framesDropped() const {
    std::lock_guard l(mutex_);
    const std::uint64_t pending = latest_ && latestSeq_ != paintedSeq_ ? 1 : 0;
    return offered_.load() - shown_.load() - pending;
}

namespace {
// The controller's picture of a live frame.
bool isLiveFrame(const PicturePtr& p) {
    return p && p->name() == kLiveViewPictureName;
}
}  // namespace

QImage LiveViewWidget::imageFor(const Picture& p) {
    // A live frame handed over by the controller is already on screen (or a
    // newer one is): no need to decode it again on the GUI thread.
    if (p.name() == kLiveViewPictureName) {
        std::lock_guard l(mutex_);
        if (latest_) return QImage();
    }
    return ViewWidget::imageFor(p);
}

void LiveViewWidget::pictureChanged() {
    std::lock_guard l(mutex_);
    live_ = isLiveFrame(view().image());
    if (live_) return;
    // The photo (or black) just set replaces the live frames.
    latest_.reset();
    lastDrawn_.reset();
    paintedSeq_ = latestSeq_;
}

void LiveViewWidget::paintEvent(QPaintEvent* e) {
    std::shared_ptr<QZNSImageFlipped> frame;
    const bool on = !liveViewOn_ || liveViewOn_();
    {
        std::lock_guard l(mutex_);
        if (on) {
            frame = latest_;
            if (frame && paintedSeq_ != latestSeq_) {
                paintedSeq_ = latestSeq_;
                ++shown_;
            }
            lastDrawn_ = frame;
        } else {
            // Live view is off: frames still on their way are not drawn.
            frame = latest_ ? lastDrawn_ : nullptr;
        }
    }
    if (!frame) {
        ViewWidget::paintEvent(e);
        return;
    }
    // The decoded RGB rows are drawn straight from the frame, no copy.
    const QImage image(frame->pixels().data(), frame->width(), frame->height(), frame->width() * 3,
                       QImage::Format_RGB888);
    QPainter p(this);
    p.drawImage(pictureRect(image.size()), image);
}

}  // namespace klik
