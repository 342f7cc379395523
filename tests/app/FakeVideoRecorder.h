#pragma once
// A video recorder for tests: records the calls and the virtual time of
// each start and stop of a recording.

#include <functional>
#include <string>
#include <vector>

#include "app/VideoRecorderPort.h"

namespace klik::test {

class FakeVideoRecorder : public VideoRecorderPort {
  public:
    // Virtual seconds, for the times below (a test sets it to its loop's clock).
    std::function<double()> clock = [] { return 0.0; };

    void startSession() override {
        ++sessionStarts;
        sessionRunning = true;
    }
    void stopSession() override {
        ++sessionStops;
        sessionRunning = false;
        recording = false;
    }
    bool startRecording(const std::string& path) override {
        if (failNextStart) {
            failNextStart = false;
            return false;
        }
        paths.push_back(path);
        startTimes.push_back(clock());
        recording = true;
        return true;
    }
    void stopRecording() override {
        if (!recording) return;
        recording = false;
        stopTimes.push_back(clock());
    }
    bool isRecording() const override { return recording; }
    void setupRecordingTimer() override { ++clockSetups; }
    void tearDownRecordingTimer() override { ++clockTearDowns; }

    bool failNextStart = false;
    bool recording = false;
    bool sessionRunning = false;
    int sessionStarts = 0;
    int sessionStops = 0;
    int clockSetups = 0;
    int clockTearDowns = 0;
    std::vector<std::string> paths;
    std::vector<double> startTimes;
    std::vector<double> stopTimes;
};

}  // namespace klik::test
