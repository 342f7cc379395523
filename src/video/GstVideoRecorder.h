#pragma once
// The video camera behind the controller's recorder port: the capture
// session (chosen devices or the simulated camera), recordings at the size
// of "prefQTVideoCompressionTag", the recording clock, and the hand-over of
// each finished file to composition.
//
// Main thread for the port's calls, and none of them waits for a recording
// to be finished or for the session to stop: a worker thread of the
// recorder does that work in order (finishing a recording, up to the
// finish time when the device stalls, then stopping the session), hands
// each finished file to the finished handler and reports a recording cut
// short. While it is busy with the session, a new session start waits its
// turn and a new recording is refused (logged): a stalled camera cannot
// record anyway.

#include <atomic>
#include <condition_variable>
#include <deque>
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
    using ReportHandler = std::function<void(const std::string& text)>;

    // `simulated`: videotestsrc and audiotestsrc instead of devices.
    GstVideoRecorder(Settings& settings, RunLoop& loop, bool simulated);
    // Finishes what is under way (the one place that waits for it).
    ~GstVideoRecorder() override;

    // Chooses the devices and builds the session (not started). False when
    // there is no usable video device: the preview stays empty and
    // recordings make no file.
    bool setupQTSession();
    bool hasSession() const { return pipeline_ != nullptr; }

    // Called on the worker thread with each finished recording.
    void setFinishedHandler(FinishedHandler h) { finished_ = std::move(h); }
    // Called on the main thread when the recording clock changes.
    void setClockDisplay(ClockDisplay d) { clock_ = std::move(d); }
    // Called on the main thread (not waiting) with a text for the operator
    // when a recording ended short because the device stalled.
    void setReportHandler(ReportHandler h) { report_ = std::move(h); }
    // How long a recording's end may take to reach its file (default 30 s).
    void setFinishTimeout(double seconds) { finishTimeout_ = seconds; }

    // VideoRecorderPort.
    void startSession() override;
    void stopSession() override;
    bool startRecording(const std::string& path) override;
    void stopRecording() override;
    bool isRecording() const override;
    void setupRecordingTimer() override;
    void tearDownRecordingTimer() override;

    // Blocks until the worker has done everything handed to it (tests, the
    // program's end).
    void waitForFinishing();

    CapturePipeline* pipeline() { return pipeline_.get(); }

  private:
    void startSessionNow();
    void post(std::function<void()> work);
    void workerLoop();
    void finish(const std::shared_ptr<CapturePipeline::Recording>& recording);

    Settings& settings_;
    RunLoop& loop_;
    bool simulated_;
    DeviceList devices_;
    std::unique_ptr<CapturePipeline> pipeline_;
    FinishedHandler finished_;
    ClockDisplay clock_;
    ReportHandler report_;
    double finishTimeout_ = 30;
    TimerPtr recordingTimer_;
    std::atomic<bool> recording_{false};  // as the controller sees it

    // The worker and what it has to do, in order.
    std::mutex workMutex_;
    std::condition_variable workCv_;
    std::deque<std::function<void()>> work_;
    bool working_ = false;    // a piece of work is running
    int sessionChanges_ = 0;  // queued or running session starts and stops
    bool quit_ = false;
    std::thread worker_;
};

}  // namespace klik
