#pragma once
// The camera's live view: the controller's view (its picture: the photo
// just taken) plus the camera's live frames. Frames arrive with
// "GLIMRA_CameraLiveViewImageUpdate", already decoded; the widget keeps
// only the newest and repaints, and Qt folds repaint requests into one, so
// a busy GUI thread shows the latest frame when it comes back and frames
// never queue up.
//
// The controller decides whether live frames show: only while its picture
// is a live frame (named kLiveViewPictureName, set while live view is on)
// does the widget draw its own newest frame instead, so a frame that comes
// late never covers the photo, and an older frame the controller hands
// over through the main loop never replaces a newer one. Any other
// picture set on the model replaces the frames.
//
// GUI thread unless a comment says otherwise. The centre is borrowed.

#include <atomic>
#include <cstdint>
#include <functional>
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
    // newest frame; a frame not yet shown is dropped. Ignored (not counted)
    // while the model shows no live frame.
    void offerFrame(std::shared_ptr<QZNSImageFlipped> frame);

    // Frames offered, frames painted at least once, frames replaced unseen
    // (or by a picture). Any thread.
    std::uint64_t framesOffered() const { return offered_.load(); }
    std::uint64_t framesShown() const { return shown_.load(); }
    std::uint64_t framesDropped() const;
    // The frame on screen (or about to be), nullptr when the picture shows.
    std::shared_ptr<QZNSImageFlipped> currentFrame() const;
    // Asked on the GUI thread before each paint: is live view on? (The
    // controller's isLiveView.) Without one, frames draw whenever the
    // model shows a live frame.
    void setLiveViewSource(std::function<bool()> isOn) { liveViewOn_ = std::move(isOn); }

  protected:
    void paintEvent(QPaintEvent* e) override;
    void pictureChanged() override;
    QImage imageFor(const Picture& p) override;

  private:
    NotificationCenter& center_;
    NotificationCenter::ObserverId observer_ = 0;
    mutable std::mutex mutex_;
    std::shared_ptr<QZNSImageFlipped> latest_;
    std::uint64_t latestSeq_ = 0;
    std::uint64_t paintedSeq_ = 0;
    bool deliveryQueued_ = false;
    // The model shows live frames (its picture is a live frame).
    bool live_ = false;
    std::atomic<std::uint64_t> offered_{0};
    std::atomic<std::uint64_t> shown_{0};
    std::function<bool()> liveViewOn_;
    // The frame last drawn while live view was on: what stays on screen
    // after it went off (GUI thread).
    std::shared_ptr<QZNSImageFlipped> lastDrawn_;
};

}  // namespace klik
