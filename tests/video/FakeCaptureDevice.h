#pragma once
// Capture devices for the tests, as GStreamer's device monitor would list
// them, each making its source from a pipeline description ("videotestsrc
// is-live=true" for a working camera, a source that cannot open for a busy
// one, one that never delivers for a stalled one).

#include <string>

typedef struct _GstDevice GstDevice;

namespace klik::test {

// A new device (the caller owns the reference). `deviceClass` as the
// monitor gives it: "Video/Source", "Audio/Source", or both.
GstDevice* makeFakeCaptureDevice(const std::string& name, const std::string& deviceClass,
                                 const std::string& sourceDescription);

}  // namespace klik::test
