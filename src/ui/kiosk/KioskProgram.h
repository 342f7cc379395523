#pragma once
// klik-kiosk: builds the kiosk (settings, log, camera, controller, windows,
// photo pipeline, printing, preferences), runs the launch sequence in its
// order and the Qt event loop, and shuts the camera down at the end.

namespace klik {

// The whole program; returns the process exit status.
int runKiosk(int argc, char** argv);

}  // namespace klik
