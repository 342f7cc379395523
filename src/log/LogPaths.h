#pragma once
// Where the kiosk's log lives.

#include <string>

namespace klik {

// The fixed log path; relocated under --root / KLIK_ROOT by fixedPath().
inline constexpr const char* kDefaultLogPath = "/Library/Logs/Klik/Klik_Kiosk.log";

// The default log path under the fixed root in force, with its folder
// created when missing (a failure shows later, when the file is opened).
// Any thread; blocks on the file system briefly.
std::string defaultLogFilePath();

}  // namespace klik
