#pragma once
// What the camera and app tests share about the simulated camera. Header
// only: just those tests use it.

#include "camera/GLIMRA_Camera.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/ManualRunLoop.h"

namespace klik::test {

// Small pictures and frames, no capture delay, small download steps: quick
// tests that still go through every chunk of a download.
inline SimConfig smallSimConfig() {
    SimConfig c;
    c.pictureWidth = 320;
    c.pictureHeight = 240;
    c.liveViewWidth = 160;
    c.liveViewHeight = 120;
    c.captureDelay = 0;
    c.downloadChunkSize = 4096;
    return c;
}

// Lets the simulated camera's event thread and the camera class's threads
// finish while `loop` keeps turning (their notifications may wait for it),
// then runs what they left for the loop. Loop's thread; blocks. False when
// they took longer than 20 s.
inline bool settleSimCamera(ManualRunLoop& loop, SimCamSDK& sim) {
    // What the loop runs last may hand the cameras new work (a camera
    // chosen in a menu is unloaded, then the next one loaded, each step
    // answered on the loop), so settle again until a round leaves nothing
    // for the loop. Live view never settles: a few rounds are enough there.
    for (int round = 0; round < 8; ++round) {
        const bool inTime = loop.runAlongside(
            [&] {
                sim.waitUntilIdle();
                GLIMRA_Camera::waitForBackgroundThreads();
                sim.waitUntilIdle();
            },
            std::chrono::seconds(20));
        if (!inTime) return false;
        // Read before the loop's last turn: with no camera thread running
        // then, all they answered is already posted, so an empty turn means
        // the cameras are quiet; otherwise another round.
        const bool quiet = GLIMRA_Camera::backgroundThreadCount() == 0 && sim.eventsIdle();
        if (loop.runPending() == 0 && quiet) return true;
    }
    return true;
}

}  // namespace klik::test
