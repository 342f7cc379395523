#pragma once
// What the controller asks of the application object during launch and
// at the end: activation, termination, the full-screen switch, where the
// program lives and starting other programs. ui/ implements it over Qt;
// tests use a recording fake.
//
// Main thread only, unless a comment says otherwise.

#include <string>
#include <vector>

namespace klik {

class ApplicationPort {
  public:
    virtual ~ApplicationPort() = default;

    // Brings the kiosk's windows in front of every other application's.
    virtual void activateIgnoringOtherApps() = 0;
    // Asks the application to quit; it asks the controller first
    // (applicationShouldTerminate) and may stay. Does not block.
    virtual void terminate() = 0;
    // Switches both sides between their normal and full-screen windows.
    virtual void toggleFullScreen() = 0;
    virtual bool isFullScreen() const = 0;
    // The running program's path and the folder that holds it.
    virtual std::string bundlePath() const = 0;
    virtual std::string bundleFolder() const;
    // The program's name as menus show it (the path's last part).
    virtual std::string bundleName() const;
    // The relaunch helper shipped beside the program.
    virtual std::string relaunchProgram() const;
    // Starts `program` with `args` without waiting for it; false (logged)
    // when it could not be started. Any thread.
    virtual bool launch(const std::string& program, const std::vector<std::string>& args);
};

}  // namespace klik
