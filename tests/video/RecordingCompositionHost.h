#pragma once
// A composition host for the tests: every alert is answered with its first
// button and the missing-overlay alerts are counted, the guest of a
// recording is a fixed one, the clock is `when` once set.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "video/VideoComposition.h"

namespace klik {

class RecordingHost : public VideoCompositionHost {
  public:
    int runFilingAlert(const std::string&, const std::string&,
                       const std::vector<std::string>&) override {
        return 0;
    }
    void openPreferencesAfterDelay(double) override {}
    void notifyOperator(const std::string&) override {}
    bool announce(const std::string&, const std::string&, const Dictionary&) override {
        return true;
    }
    // Compositions may run on several threads at once.
    void showMissingOverlayAlert(const std::string& m, const std::string& i) override {
        std::lock_guard lock(mutex);
        ++alerts;
        message = m;
        informative = i;
    }
    PhotoSession videoSession(const std::string& recording) override {
        std::lock_guard lock(mutex);
        askedFor = recording;
        PhotoSession s;
        s.emails = {"guest@example.com"};
        return s;
    }
    // `when`, once a test sets it; until then the real clock.
    Date now() override { return when == Date{} ? std::chrono::system_clock::now() : when; }

    std::atomic<int> alerts{0};
    std::string message, informative;
    std::string askedFor;  // the recording whose guest was asked for
    Date when{};
    std::mutex mutex;
};

}  // namespace klik
