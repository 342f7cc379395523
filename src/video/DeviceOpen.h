#pragma once
// Opening a capture device for real, as the choice of devices needs it: the
// device's source element in a pipeline of its own that is taken to PAUSED
// and, for a live device (which gives nothing before it plays), on to
// PLAYING until its first buffer arrives. A busy, missing or stalled device
// fails here, with the library's reason, instead of later in the session.
// The check pipeline is taken down again before returning.
//
// Any thread; blocks up to `timeoutSeconds` (twice for a live device: to
// PAUSED, then to its first buffer).

#include <string>

typedef struct _GstDevice GstDevice;
typedef struct _GstElement GstElement;

namespace klik {

inline constexpr double kDeviceOpenTimeoutSeconds = 5;

bool openCaptureDevice(GstDevice* device, double timeoutSeconds, std::string* error);

// The source pads of a capture source element, by what they carry: the
// first whose caps are a picture and the first whose caps are sound (null
// when it has none). The pads are borrowed from the element.
struct SourcePads {
    void* picture = nullptr;  // GstPad*
    void* sound = nullptr;    // GstPad*
};
SourcePads sourcePadsOf(GstElement* source);

}  // namespace klik
