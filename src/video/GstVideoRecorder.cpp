#include "video/GstVideoRecorder.h"

#include "app/SettingsKeys.h"
#include "app/SettingsReaders.h"
#include "log/Log.h"
#include "video/MovieNames.h"
#include "video/RecordingClock.h"

namespace klik {

GstVideoRecorder::GstVideoRecorder(Settings& settings, RunLoop& loop, bool simulated)
    : settings_(settings), loop_(loop), simulated_(simulated) {}

GstVideoRecorder::~GstVideoRecorder() {
    if (recordingTimer_) recordingTimer_->invalidate();
    if (pipeline_) pipeline_->stopRecording();
    waitForFinishing();
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

void GstVideoRecorder::startSession() {
    if (!pipeline_) return;
    pipeline_->setMirrored(settings_.boolForKey(key::prefDoMirrorLiveVideoPreview));
    std::string error;
    if (!pipeline_->start(&error)) GLIMRA_Log::errf("capture session: %s", error.c_str());
}

void GstVideoRecorder::stopSession() {
    if (!pipeline_) return;
    stopRecording();
    waitForFinishing();
    pipeline_->stop();
}

bool GstVideoRecorder::startRecording(const std::string& path) {
    if (!pipeline_) {
        GLIMRA_Log::debug("no video device: nothing is recorded");
        return false;
    }
    stopRecording();
    waitForFinishing();
    if (!pipeline_->isRunning()) startSession();
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
    waitForFinishing();
    std::lock_guard<std::mutex> lock(finishMutex_);
    finisher_ = std::thread([this] {
        const std::string path = pipeline_->stopRecording();
        if (path.empty()) return;
        GLIMRA_Log::debugf("captureOutput:didFinishRecordingToOutputFileAtURL: %s", path.c_str());
        CompositionRequest request;
        request.url = path;
        request.overlayMovieInsertionTime = readOverlayInsertionTime(settings_);
        if (finished_) finished_(request);
    });
}

void GstVideoRecorder::waitForFinishing() {
    std::lock_guard<std::mutex> lock(finishMutex_);
    if (finisher_.joinable()) finisher_.join();
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
