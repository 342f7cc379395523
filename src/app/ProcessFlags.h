#pragma once
// Process-wide flags of the kiosk session flow.

#include <atomic>

namespace klik {

// Single-monitor mode. Set at start and never cleared: the screen sequence
// always runs its single-monitor variant.
extern std::atomic<bool> forceSingleMonitor;

// The web page drives the sessions ("prefDoUseWebView" at launch).
extern std::atomic<bool> doNewWebViewMethod;

// Set while a recorded clip is being composed; written by the composition
// thread, read by the main thread.
extern std::atomic<bool> gIsProcessingVideo;

// Visibility given to the two live countdown fields whenever a screen shows
// the live countdown: field 1 shown, field 2 always hidden.
inline constexpr bool gDoHideLiveCountdownField1 = false;
inline constexpr bool gDoHideLiveCountdownField2 = true;

}  // namespace klik
