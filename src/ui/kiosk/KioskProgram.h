#pragma once
// klik-kiosk: reads the options, prepares the process (sandbox root,
// settings file, platform, camera library) and runs a KioskAssembly, which
// wires the kiosk's parts together, runs the launch sequence, the Qt event
// loop and the orderly stop.

namespace klik {

// The whole program; returns the process exit status.
int runKiosk(int argc, char** argv);

}  // namespace klik
