#pragma once
// The application object for the controller over Qt: activation raises the
// kiosk's windows, termination asks the controller and then quits the
// event loop, the full-screen switch goes to the kiosk windows.
//
// GUI thread only. The windows and the controller are borrowed.

#include <functional>

#include "app/ApplicationPort.h"

namespace klik {

class AppController;
class KioskWindows;

class QtApplicationPort : public ApplicationPort {
  public:
    QtApplicationPort(KioskWindows& windows, AppController& app);

    void activateIgnoringOtherApps() override;
    // Asks the controller on the next turn of the loop; quits the loop with
    // the exit code when it agrees.
    void terminate() override;
    void toggleFullScreen() override;
    bool isFullScreen() const override;
    std::string bundlePath() const override;

    void setExitCode(int code) { exitCode_ = code; }
    int exitCode() const { return exitCode_; }

  private:
    KioskWindows& windows_;
    AppController& app_;
    int exitCode_ = 0;
    bool terminating_ = false;
};

}  // namespace klik
