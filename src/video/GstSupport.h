#pragma once
// GStreamer and GES set-up and the small helpers the video module shares:
// one-time initialisation, owning pointers, element creation that says
// what is missing, and a bus wait that reports errors.
//
// Any thread.

#include <gst/gst.h>

#include <memory>
#include <string>

namespace klik {

// Initialises GStreamer and GES once per process; false (with the reason)
// when GES cannot start.
bool ensureGStreamer(std::string* error = nullptr);

struct GstObjectUnref {
    void operator()(gpointer p) const {
        if (p) gst_object_unref(p);
    }
};
template <class T>
using GstRef = std::unique_ptr<T, GstObjectUnref>;

// A new element of `factory`, or nullptr with "missing GStreamer element
// <factory>" in `error`.
GstElement* makeElement(const char* factory, const char* name, std::string* error);

// A pipeline from a launch line (gst-launch syntax), or nullptr with
// GStreamer's reason in `error`.
GstElement* launchPipeline(const std::string& line, std::string* error);

// Builds the launch line's pipeline, plays it to its end (at most
// `timeoutSeconds`) and tears it down: for pipelines that write a file.
// False with the reason.
bool runLaunchLineToEnd(const std::string& line, double timeoutSeconds, std::string* error);

// Waits on `pipeline`'s bus for end-of-stream or an error, at most
// `timeoutSeconds`. True on end-of-stream; false with the error's text.
bool waitForEndOfStream(GstElement* pipeline, double timeoutSeconds, std::string* error);

// Sets `element` to `state` and waits for the change (up to `timeoutSeconds`).
bool setStateAndWait(GstElement* element, GstState state, double timeoutSeconds,
                     std::string* error);

// A "file://" URI for a local path (made absolute).
std::string fileUri(const std::string& path);

}  // namespace klik
