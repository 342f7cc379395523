#pragma once
// The capture session: one GStreamer pipeline from the chosen camera (or
// the simulated one) to the preview and, while a recording runs, into a
// QuickTime movie. The preview keeps only the newest frame, mirrored when
// asked; the recording is never mirrored. A recording is H.264 (x264enc,
// I420) and AAC (voaacenc, or avenc_aac when named) muxed robustly, so a
// kiosk killed mid-recording still leaves a readable file.
//
// A camera whose source gives picture and sound records its own sound; a
// separate sound device is used only beside a camera without.
//
// Thread-safe. start/stop/startRecording/stopRecording block while the
// pipeline changes state (stopRecording until the file is complete, or a
// stalled device's time is up); detachRecording does not block, so the
// finishing can go to another thread. The preview frames arrive on
// GStreamer's streaming thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "video/DeviceChoice.h"

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;
typedef struct _GstDevice GstDevice;

namespace klik {

struct PreviewFrame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;  // width * 4 bytes a row
    std::uint64_t sequence = 0;
};

// How a recording ended.
struct FinishedRecording {
    std::string path;       // "" when none was recording
    bool complete = false;  // its end reached the file in time
};

struct CaptureSourceSpec {
    bool simulated = false;                   // videotestsrc with a running clock, a tone
    GstDevice* videoDevice = nullptr;         // borrowed; used when not simulated
    GstDevice* audioDevice = nullptr;         // a separate sound device, or null
    int width = 640, height = 480, fps = 30;  // the simulated camera's picture
    std::string pattern = "ball";             // videotestsrc's picture
    std::string audioEncoder = "voaacenc";
};

class CapturePipeline {
  public:
    explicit CapturePipeline(CaptureSourceSpec spec);
    ~CapturePipeline();
    CapturePipeline(const CapturePipeline&) = delete;
    CapturePipeline& operator=(const CapturePipeline&) = delete;

    // Builds (first time) and runs the pipeline. False with the reason.
    bool start(std::string* error);
    // Ends a running recording (completing its file), then stops.
    void stop();
    bool isRunning() const { return running_; }

    // Records into `path` at width x height (a running recording ends
    // first). The session must run. False with the reason.
    bool startRecording(const std::string& path, int width, int height, std::string* error);
    // Sends end-of-stream into the recording and waits until the muxer has
    // written the file (up to `timeoutSeconds`). Returns the file's path
    // ("" when none was recording).
    std::string stopRecording(double timeoutSeconds = 30);
    bool isRecording() const;

    // One recording's branch (defined in the source file).
    struct Recording;
    // Takes the running recording off the session at once (null when none
    // runs): a new one may start while it is finished elsewhere.
    std::shared_ptr<Recording> detachRecording();
    // Ends a detached recording's stream and waits for its file (up to
    // `timeoutSeconds`; a stalled device's branch is then ended from here).
    // The session must still exist.
    FinishedRecording finishRecording(const std::shared_ptr<Recording>& recording,
                                      double timeoutSeconds = 30);

    // The simulated camera stops (true) or goes on (false) delivering
    // picture and sound, as a stalled device does. Nothing for devices.
    void setSimulatedStall(bool stalled);

    void setMirrored(bool on);
    // The newest preview frame, when one arrived after `afterSequence`.
    std::optional<PreviewFrame> takeFrame(std::uint64_t afterSequence) const;
    // Called on the streaming thread for every new preview frame. Once it
    // returns, the callback it replaced is not running and is not called
    // again (so its owner may go). The callback must not call it.
    void setFrameCallback(std::function<void()> cb);
    std::uint64_t framesDelivered() const { return frameCount_; }
    bool hasAudio() const { return audioTee_ != nullptr; }

  private:
    bool build(std::string* error);
    void onSample(GstElement* appsink);
    static int onNewSample(GstElement* sink, void* self);

    CaptureSourceSpec spec_;
    GstElement* pipeline_ = nullptr;
    GstElement* videoTee_ = nullptr;
    GstElement* audioTee_ = nullptr;
    GstElement* flip_ = nullptr;
    GstElement* videoValve_ = nullptr;  // the simulated camera's stall
    GstElement* audioValve_ = nullptr;
    std::atomic<bool> running_{false};
    mutable std::mutex frameMutex_;
    PreviewFrame frame_;
    std::atomic<std::uint64_t> frameCount_{0};
    std::mutex callbackMutex_;             // held while the callback runs
    std::function<void()> frameCallback_;  // under callbackMutex_
    mutable std::mutex recMutex_;
    std::shared_ptr<Recording> recording_;
};

}  // namespace klik
