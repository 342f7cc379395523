#include "video/GstVideoRecorder.h"

#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "video/MovieNames.h"
#include "video/RecordingClock.h"

namespace klik {

GstVideoRecorder::GstVideoRecorder(Settings& settings, RunLoop& loop, bool simulated)
    : settings_(settings), loop_(loop), simulated_(simulated) {
    worker_ = std::thread([this] { workerLoop(); });
}

GstVideoRecorder::~GstVideoRecorder() {
    if (recordingTimer_) recordingTimer_->invalidate();
    stopRecording();
    waitForFinishing();
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        quit_ = true;
    }
    workCv_.notify_all();
    worker_.join();
    pipeline_.reset();
}

bool GstVideoRecorder::setupQTSession() {
    CaptureSourceSpec spec;
    if (simulated_) {
        spec.simulated = true;
        GLIMRA_Log::debug("capture: the simulated video camera (test picture with a clock, tone)");
    } else {
        devices_ = DeviceList::probe();
        const CaptureDeviceChoice choice = devices_.choose();
        if (!choice.video) {
            GLIMRA_Log::debug("capture: no usable video device; the preview stays empty");
            return false;
        }
        spec.videoDevice = devices_.gstDevice(*choice.video);
        if (choice.audio) spec.audioDevice = devices_.gstDevice(*choice.audio);
    }
    pipeline_ = std::make_unique<CapturePipeline>(spec);
    return true;
}

void GstVideoRecorder::post(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        work_.push_back(std::move(work));
    }
    workCv_.notify_all();
}

void GstVideoRecorder::workerLoop() {
    std::unique_lock<std::mutex> lock(workMutex_);
    for (;;) {
        workCv_.wait(lock, [this] { return quit_ || !work_.empty(); });
        if (work_.empty()) return;  // quit, nothing left
        std::function<void()> work = std::move(work_.front());
        work_.pop_front();
        working_ = true;
        lock.unlock();
        work();
        lock.lock();
        working_ = false;
        workCv_.notify_all();
    }
}

void GstVideoRecorder::waitForFinishing() {
    std::unique_lock<std::mutex> lock(workMutex_);
    workCv_.wait(lock, [this] { return work_.empty() && !working_; });
}

void GstVideoRecorder::startSessionNow() {
    pipeline_->setMirrored(settings_.boolForKey(key::prefDoMirrorLiveVideoPreview));
    std::string error;
    if (!pipeline_->start(&error)) GLIMRA_Log::errf("capture session: %s", error.c_str());
}

void GstVideoRecorder::startSession() {
    if (!pipeline_) return;
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        if (sessionChanges_ > 0) {
            // A stop is still under way: the start follows it.
            ++sessionChanges_;
            work_.push_back([this] {
                startSessionNow();
                std::lock_guard<std::mutex> l(workMutex_);
                --sessionChanges_;
            });
            workCv_.notify_all();
            return;
        }
    }
    startSessionNow();
}

void GstVideoRecorder::stopSession() {
    if (!pipeline_) return;
    stopRecording();
    std::lock_guard<std::mutex> lock(workMutex_);
    ++sessionChanges_;
    // After the recordings handed over before it are finished.
    work_.push_back([this] {
        pipeline_->stop();
        std::lock_guard<std::mutex> l(workMutex_);
        --sessionChanges_;
    });
    workCv_.notify_all();
}

bool GstVideoRecorder::startRecording(const std::string& path) {
    if (!pipeline_) {
        GLIMRA_Log::debug("no video device: nothing is recorded");
        return false;
    }
    stopRecording();
    {
        std::lock_guard<std::mutex> lock(workMutex_);
        if (sessionChanges_ > 0) {
            GLIMRA_Log::errf(
                "the recording into %s did not start: the capture session is still being "
                "stopped (the last recording is being finished; a stalled camera?)",
                path.c_str());
            return false;
        }
    }
    if (!pipeline_->isRunning()) startSessionNow();
    const RecordingSize size = recordingSizeForCompressionTag(settings_);
    GLIMRA_Log::debugf("%s %s %s",
                       "captureOutput:willStartRecordingToOutputFileAtURL:", path.c_str(),
                       "video+sound");
    std::string error;
    if (!pipeline_->startRecording(path, size.width, size.height, &error)) {
        GLIMRA_Log::errf("the recording into %s did not start: %s", path.c_str(), error.c_str());
        return false;
    }
    recording_ = true;
    GLIMRA_Log::debugf("captureOutput:didStartRecordingToOutputFileAtURL: %s (%ix%i)", path.c_str(),
                       size.width, size.height);
    return true;
}

void GstVideoRecorder::stopRecording() {
    if (!pipeline_ || !recording_.exchange(false)) return;
    // Off the session at once; its file is finished on the worker.
    std::shared_ptr<CapturePipeline::Recording> recording = pipeline_->detachRecording();
    if (!recording) return;
    post([this, recording] { finish(recording); });
}

void GstVideoRecorder::finish(const std::shared_ptr<CapturePipeline::Recording>& recording) {
    const FinishedRecording done = pipeline_->finishRecording(recording, finishTimeout_);
    if (done.path.empty()) return;
    if (!done.complete) {
        const std::string text = "The video camera stopped delivering: the recording " +
                                 lastPathComponent(done.path) + " ended early.";
        GLIMRA_Log::errf(
            "captureOutput:didFinishRecordingToOutputFileAtURL: %s ended early: the "
            "device stalled",
            done.path.c_str());
        if (report_) loop_.performOnMain([report = report_, text] { report(text); }, false);
    }
    GLIMRA_Log::debugf("captureOutput:didFinishRecordingToOutputFileAtURL: %s", done.path.c_str());
    // The composition runs for whatever reached the file.
    CompositionRequest request;
    request.url = done.path;
    request.overlayMovieInsertionTime = readOverlayInsertionTime(settings_);
    if (finished_) finished_(request);
}

bool GstVideoRecorder::isRecording() const {
    return recording_;
}

void GstVideoRecorder::setupRecordingTimer() {
    GLIMRA_Log::debug("Inside GstVideoRecorder => setupRecordingTimer ...");
    if (recordingTimer_) recordingTimer_->invalidate();
    const Date start = loop_.now();
    auto tick = [this, start](Timer&) {
        const double elapsed = std::chrono::duration<double>(loop_.now() - start).count();
        if (clock_) clock_(true, recordingClockText(elapsed, readMaxRecordingLength(settings_)));
    };
    Dictionary info;
    info["startDateKey"] = Value(start);
    recordingTimer_ = loop_.scheduleTimer(0.1, true, tick, info);
    if (clock_) clock_(true, recordingClockText(0, readMaxRecordingLength(settings_)));
}

void GstVideoRecorder::tearDownRecordingTimer() {
    GLIMRA_Log::debug("Inside GstVideoRecorder => tearDownRecordingTimer ...");
    if (recordingTimer_) {
        recordingTimer_->invalidate();
        recordingTimer_.reset();
    }
    if (clock_) clock_(false, "");
}

}  // namespace klik
