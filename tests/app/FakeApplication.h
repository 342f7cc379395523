#pragma once
// An application object for tests: records activation, termination, the
// full-screen switch and every program it was asked to start, into the
// same call list as the recording screen so their order can be checked.

#include <string>
#include <vector>

#include "app/ApplicationPort.h"

namespace klik::test {

class FakeApplication : public ApplicationPort {
  public:
    explicit FakeApplication(std::vector<std::string>& calls) : calls_(calls) {}

    void activateIgnoringOtherApps() override { calls_.push_back("app activate"); }
    void terminate() override { calls_.push_back("app terminate"); }
    void toggleFullScreen() override {
        fullScreen = !fullScreen;
        calls_.push_back("app toggleFullScreen");
    }
    bool isFullScreen() const override { return fullScreen; }
    std::string bundlePath() const override { return "/opt/klik/bin/klik-kiosk"; }
    bool launch(const std::string& program, const std::vector<std::string>& args) override {
        launches.push_back({program, args});
        calls_.push_back("app launch " + program);
        return launchSucceeds;
    }

    struct Launch {
        std::string program;
        std::vector<std::string> args;
    };
    std::vector<Launch> launches;
    bool fullScreen = false;
    bool launchSucceeds = true;

  private:
    std::vector<std::string>& calls_;
};

}  // namespace klik::test
