#pragma once
// The video camera behind the controller's recorder port: the capture
// session (chosen devices or the simulated camera), recordings at the size
// of "prefQTVideoCompressionTag", the recording clock, and the hand-over of
// each finished file to composition.
//
// Main thread for the port's calls; none of them waits for a recording to
// be finished: that runs on a finishing thread, which then calls the
// finished handler.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/VideoRecorderPort.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "video/CapturePipeline.h"
#include "video/DeviceMonitor.h"
#include "video/VideoComposition.h"

namespace klik {

class GstVideoRecorder : public VideoRecorderPort {
  public:
    using FinishedHandler = std::function<void(const CompositionRequest&)>;
    using ClockDisplay = std::function<void(bool shown, const std::string& text)>;

    // `simulated`: videotestsrc and audiotestsrc instead of devices.
    GstVideoRecorder(Settings& settings, RunLoop& loop, bool simulated);
    ~GstVideoRecorder() override;

    // Chooses the devices and builds the session (not started). False when
    // there is no usable video device: the preview stays empty and
    // recordings make no file.
    bool setupQTSession();
    bool hasSession() const { return pipeline_ != nullptr; }

    // Called on the finishing thread with each complete recording.
    void setFinishedHandler(FinishedHandler h) { finished_ = std::move(h); }
    // Called on the main thread when the recording clock changes.
    void setClockDisplay(ClockDisplay d) { clock_ = std::move(d); }

    // VideoRecorderPort.
    void startSession() override;
    void stopSession() override;
    bool startRecording(const std::string& path) override;
    void stopRecording() override;
    bool isRecording() const override;
    void setupRecordingTimer() override;
    void tearDownRecordingTimer() override;

    // Waits for a recording being finished to be handed over.
    void waitForFinishing();

    CapturePipeline* pipeline() { return pipeline_.get(); }

  private:
    Settings& settings_;
    RunLoop& loop_;
    bool simulated_;
    DeviceList devices_;
    std::unique_ptr<CapturePipeline> pipeline_;
    FinishedHandler finished_;
    ClockDisplay clock_;
    TimerPtr recordingTimer_;
    std::atomic<bool> recording_{false};  // as the controller sees it
    std::mutex finishMutex_;
    std::thread finisher_;
};

}  // namespace klik
