#pragma once
// The video camera input as the screen sequence needs it: the capture
// session behind the video preview, recording into a file, and the
// recording clock shown while a recording runs. The video module implements
// it; when no recorder is attached the kiosk has no video preview and runs
// on the still camera.
//
// Main thread only; none of the calls waits for the capture pipeline.

#include <string>

namespace klik {

class VideoRecorderPort {
  public:
    virtual ~VideoRecorderPort() = default;

    // Starts / stops the capture session that feeds the video preview.
    virtual void startSession() = 0;
    virtual void stopSession() = 0;

    // Starts recording into `path` (a running recording ends first). False
    // when the recording could not start; the reason is logged.
    virtual bool startRecording(const std::string& path) = 0;
    // Ends the running recording, keeping the session running; the finished
    // file then goes on to composition. Nothing happens when none runs.
    virtual void stopRecording() = 0;
    virtual bool isRecording() const = 0;

    // Shows and starts / stops and hides the recording clock.
    virtual void setupRecordingTimer() = 0;
    virtual void tearDownRecordingTimer() = 0;
};

}  // namespace klik
