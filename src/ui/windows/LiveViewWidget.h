#pragma once
// The camera's live view: the controller's view (its picture: the photo
// just taken) plus the camera's live frames. Frames arrive with
// "GLIMRA_CameraLiveViewImageUpdate", already decoded; the widget keeps
// only the newest and repaints, and Qt folds repaint requests into one, so
// a busy GUI thread shows the latest frame when it comes back and frames
// never queue up. A picture set on the model after a frame replaces the
// frame until the next frame arrives.
//
// GUI thread unless a comment says otherwise. The centre is borrowed.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "foundation/NotificationCenter.h"
#include "ui/windows/ViewWidget.h"

namespace klik {

class QZNSImageFlipped;

class LiveViewWidget : public ViewWidget {
    Q_OBJECT
  public:
    LiveViewWidget(View& view, NotificationCenter& center, QWidget* parent = nullptr);
    ~LiveViewWidget() override;

    // Any thread; never blocks on the GUI thread. `frame` becomes the
    // newest frame; a frame not yet shown is dropped.
    void offerFrame(std::shared_ptr<QZNSImageFlipped> frame);

    // Frames offered, frames painted at least once, frames replaced unseen.
    std::uint64_t framesOffered() const { return offered_.load(); }
    std::uint64_t framesShown() const { return shown_.load(); }
    std::uint64_t framesDropped() const { return offered_.load() - shown_.load() - pendingCount(); }
    // The frame on screen (or about to be), nullptr when the picture shows.
    std::shared_ptr<QZNSImageFlipped> currentFrame() const;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void pictureChanged() override;

  private:
    std::uint64_t pendingCount() const;

    NotificationCenter& center_;
    NotificationCenter::ObserverId observer_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<QZNSImageFlipped> latest_;
    std::uint64_t latestSeq_ = 0;
    std::uint64_t paintedSeq_ = 0;
    bool deliveryQueued_ = false;
    std::atomic<std::uint64_t> offered_{0};
    std::atomic<std::uint64_t> shown_{0};
};

}  // namespace klik
