#pragma once
// The kiosk's fixed absolute paths ("/Library/Logs/Klik/Klik_Kiosk.log",
// "/CameraScratchFolder", "/tmp/squareimage.jpg", ...) can be relocated under
// one root folder, so a demo, a test or a non-root user runs in a sandbox.
// The root comes from `--root DIR` (setFixedRoot) or the KLIK_ROOT variable.

#include <string>

namespace klik {

// Sets the root; an empty string means the real file system. Call at start-up
// before other threads run.
void setFixedRoot(const std::string& dir);
// The root in force: setFixedRoot's value, else KLIK_ROOT, else "".
std::string fixedRoot();
// An absolute fixed path placed under the root; relative paths are returned
// unchanged.
std::string fixedPath(const std::string& absolutePath);

}  // namespace klik
