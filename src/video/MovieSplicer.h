#pragma once
// The edit of a recorded clip: its picture replaced from T for the length
// of an overlay movie, and its last stretch replaced by a trailer movie; its
// sound and length untouched. Built as a GES timeline (the recording on the
// bottom layer, the overlay above it, the trailer on top; in GES layer 0 is
// drawn on top; the highest clip replaces what is below it, nothing is
// blended) and rendered to an MPEG-4 file with H.264 and AAC.
//
// spliceAndExport creates, drives and ends its timeline on the calling
// thread, with a main context of its own; blocks until the file is written.
// Any thread; several may run at once.

#include <optional>
#include <string>

namespace klik {

struct SpliceRequest {
    std::string recording;               // the unedited clip
    std::optional<std::string> overlay;  // video only, inserted at overlayAt
    double overlayAt = 1;                // seconds into the recording
    std::optional<std::string> trailer;  // video only, over the last stretch
    std::string output;                  // the exported movie
};

// What was placed where, in seconds on the recording's time line.
struct SpliceLayout {
    double recordingLength = 0;
    double overlayStart = 0, overlayLength = 0;  // length 0: no overlay
    double trailerStart = 0, trailerLength = 0;  // length 0: no trailer
};

// Where the overlay and trailer go in a recording of `recordingLength`
// seconds: each cut to the recording's end so its length never changes.
SpliceLayout planSplice(double recordingLength, std::optional<double> overlayLength,
                        double overlayAt, std::optional<double> trailerLength);

// Writes the edited movie to `request.output` (through a temporary file
// beside it, so a failed export leaves no partial movie under that name).
// False with the reason in `error`. `layout` (optional) receives the plan.
bool spliceAndExport(const SpliceRequest& request, std::string* error,
                     SpliceLayout* layout = nullptr);

// Plain transcode of `input` to the same format, without an edit (the
// floor the splice is measured against). Same contract as above.
bool transcodeMovie(const std::string& input, const std::string& output, std::string* error);

}  // namespace klik
