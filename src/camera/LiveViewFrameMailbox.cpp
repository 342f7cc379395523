#include "camera/LiveViewFrameMailbox.h"

#include "camera/QZNSImageFlipped.h"
#include "foundation/RunLoop.h"

namespace klik {

LiveViewFrameMailbox::LiveViewFrameMailbox(RunLoop* loop, Deliver deliver)
    : loop_(loop), deliver_(std::move(deliver)) {}

void LiveViewFrameMailbox::offer(std::shared_ptr<QZNSImageFlipped> frame) {
    bool queue;
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->waiting) dropped_.fetch_add(1);
        shared_->waiting = std::move(frame);
        queue = !shared_->deliveryQueued;
        shared_->deliveryQueued = true;
    }
    if (!queue || !loop_) return;
    // One perform at a time: it takes whatever frame is newest when it runs.
    loop_->performOnMain(
        [shared = shared_, deliver = deliver_] {
            std::shared_ptr<QZNSImageFlipped> f;
            {
                std::lock_guard lock(shared->mutex);
                f = std::move(shared->waiting);
                shared->waiting.reset();
                shared->deliveryQueued = false;
            }
            if (f) deliver(std::move(f));
        },
        false);
}

size_t LiveViewFrameMailbox::pending() const {
    std::lock_guard lock(shared_->mutex);
    return shared_->waiting ? 1 : 0;
}

}  // namespace klik
