#pragma once
// Process-wide flags of the kiosk session flow.

#include <atomic>

namespace klik {

// Single-monitor mode. Set at start and never cleared: the screen sequence
// always runs its single-monitor variant.
extern std::atomic<bool> forceSingleMonitor;

// The web page drives the sessions ("prefDoUseWebView" at launch).
extern std::atomic<bool> doNewWebViewMethod;

// How many recorded clips are being composed. True while any is: the flag
// is read from the one count, so a composition that begins as another ends
// can never leave it reading false while work runs. Any thread.
class VideoProcessingCount {
  public:
    void begin() noexcept { count_.fetch_add(1, std::memory_order_acq_rel); }
    void end() noexcept { count_.fetch_sub(1, std::memory_order_acq_rel); }
    int count() const noexcept { return count_.load(std::memory_order_acquire); }
    bool load() const noexcept { return count() > 0; }
    explicit operator bool() const noexcept { return load(); }

  private:
    std::atomic<int> count_{0};
};

extern VideoProcessingCount gIsProcessingVideo;

// One composition counted in gIsProcessingVideo for the scope's life.
class VideoProcessingScope {
  public:
    VideoProcessingScope() noexcept { gIsProcessingVideo.begin(); }
    ~VideoProcessingScope() { gIsProcessingVideo.end(); }
    VideoProcessingScope(const VideoProcessingScope&) = delete;
    VideoProcessingScope& operator=(const VideoProcessingScope&) = delete;
};

// Visibility given to the two live countdown fields whenever a screen shows
// the live countdown: field 1 shown, field 2 always hidden.
inline constexpr bool gDoHideLiveCountdownField1 = false;
inline constexpr bool gDoHideLiveCountdownField2 = true;

}  // namespace klik
