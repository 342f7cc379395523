#pragma once
// What the controller hands on for a guest's animated loop: the live-view
// frames of the last moment of each countdown, and after the turn the
// order to make the loop beside the guest's photo. The making is slow
// (seconds) and never holds up the next guest.

#include "app/PhotoPipelinePort.h"
#include "foundation/Value.h"

namespace klik {

class GuestLoopPort {
  public:
    virtual ~GuestLoopPort() = default;

    // Keeps one live-view frame (JPEG) for the turn's loop; the frames kept
    // are bounded. Main thread.
    virtual void keepFrame(const Data& jpeg) = 0;
    // Forgets the frames kept so far (a new turn, or a turn without a
    // photo). Main thread.
    virtual void dropFrames() = 0;
    // Makes the loop of the frames kept since dropFrames(), `size` pixels
    // square, as an MP4 and a GIF named like the photo at `beside.path`
    // beside it, and beside its upload copy when there is one. Returns at
    // once; the work runs on a thread of its own, one loop after another.
    // Main thread.
    virtual void makeLoop(const FiledPhoto& beside, int size) = 0;
};

}  // namespace klik
