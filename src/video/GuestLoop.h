#pragma once
// A guest's animated loop, made from the live-view frames of the turn:
// each frame's centred square, scaled to the operator's size, played
// forward then backward, written as an MP4 (H.264, for phones) and as an
// animated GIF. Both go beside the guest's photos under the same base name.
//
// Slow work (seconds): called off the main thread, one loop at a time per
// caller. Errors come back as text; nothing is left half-written under a
// final name.

#include <memory>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"

namespace klik {

struct LoopOptions {
    int size = 480;  // the loop's side in pixels ("prefLoopSize")
    int framesPerSecond = 12;
};

// The frames' centred squares at `size` x `size`, RGBA, in order; frames
// that do not decode are left out (and said in `error` when none does).
std::vector<Bitmap> loopPictures(const std::vector<std::shared_ptr<const Data>>& jpegFrames,
                                 int size, std::string* error);

// Forward then backward without showing either end twice in a row:
// a b c d -> a b c d c b.
std::vector<Bitmap> pingPong(std::vector<Bitmap> frames);

// Writes the MP4 at `path` (written beside, then renamed). False with the
// reason.
bool writeLoopMp4(const std::vector<Bitmap>& frames, const std::string& path,
                  const LoopOptions& options, std::string* error);

// Writes the animated GIF at `path` (one palette for all frames, looping
// forever; written beside, then renamed). False with the reason.
bool writeLoopGif(const std::vector<Bitmap>& frames, const std::string& path,
                  const LoopOptions& options, std::string* error);

struct LoopFiles {
    std::string mp4, gif;  // empty when that one failed
    std::string error;     // what failed, for the log
};

// Both files for `jpegFrames` at `basePath` + ".mp4" / ".gif".
LoopFiles makeGuestLoop(const std::vector<std::shared_ptr<const Data>>& jpegFrames,
                        const std::string& basePath, const LoopOptions& options);

}  // namespace klik
