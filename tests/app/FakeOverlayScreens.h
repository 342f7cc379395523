#pragma once
// Overlay screens for tests: answer each run with a set result code (or as
// a missing interface file) and record which screens ran and the picture
// each screen was given.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/OverlayScreensPort.h"

namespace klik::test {

class FakeOverlayScreens : public OverlayScreensPort {
  public:
    std::optional<int> runModal(OverlayScreen s) override {
        runs.push_back(s);
        auto it = answers.find(s);
        if (it == answers.end()) return kOverlayGoOn;
        return it->second;
    }

    void setImage(OverlayScreen s, PicturePtr p) override {
        pictures.push_back({s, p ? p->name() : std::string("(none)")});
    }
    bool displayMovieView() override {
        ++movieViewRequests;
        return movieViewShown;
    }

    // Whether the movie view comes up when asked.
    bool movieViewShown = false;
    int movieViewRequests = 0;
    // Answer per screen; nullopt = interface file missing. Default: 100.
    std::map<OverlayScreen, std::optional<int>> answers;
    std::vector<OverlayScreen> runs;
    std::vector<std::pair<OverlayScreen, std::string>> pictures;
};

}  // namespace klik::test
