#pragma once
// The process environment the web engine needs, set before the
// QApplication exists and only by programs that show the web page.
//
// - As root (a kiosk in a container, the tests), the engine's sandbox
//   cannot start: QTWEBENGINE_DISABLE_SANDBOX=1. A "--no-sandbox" argument
//   would be ignored in Qt 6.4 unless it followed "--webEngineArgs".
// - Without a display (the offscreen platform) there is no GPU to use:
//   QTWEBENGINE_CHROMIUM_FLAGS="--disable-gpu".
// Values the caller set already are kept.

namespace klik {

// Main thread, before QApplication. Also shares OpenGL contexts, which the
// engine wants set before the application is created.
void prepareWebEngineEnvironment();
// True when the engine runs without its sandbox (whoever turned it off).
bool isWebEngineSandboxOff();

}  // namespace klik
