#pragma once
// The kiosk's fixed absolute paths ("/Library/Logs/Klik/Klik_Kiosk.log",
// "/CameraScratchFolder", "/tmp/squareimage.jpg", ...) and where they go.
//
// - A root folder (`--root DIR`, setFixedRoot, or the KLIK_ROOT variable)
//   places every one of them under DIR, unchanged below it: a demo, a test or
//   a second kiosk runs in a sandbox of its own. DIR/tmp is made when a
//   path under "/tmp" is asked for.
// - The root "/" keeps them exactly as written.
// - With no root, they go to the platform's standard places
//   (StandardPlaces.h): the log under $XDG_STATE_HOME/klik, the scratch
//   folder under $XDG_CACHE_HOME/klik, temporary files in a unique folder
//   of this process (TemporaryFolder.h), ...; file names stay the same.

#include <string>

namespace klik {

// Sets the root; an empty string means the standard places, "/" the paths
// as written. Call at start-up before other threads run.
void setFixedRoot(const std::string& dir);
// The root in force: setFixedRoot's value, else KLIK_ROOT, else "" ("/"
// when the paths are kept as written).
std::string fixedRoot();
// Where the absolute fixed path goes under the rule in force. Relative paths
// are returned unchanged. With no root, the "klik" folder of the standard
// place is created when missing, so a file can be written into it. Any
// thread.
std::string fixedPath(const std::string& absolutePath);

}  // namespace klik
