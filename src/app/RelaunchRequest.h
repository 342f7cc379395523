#pragma once
// What a relaunch asks for, turned into the command that starts the small
// relaunch program: it waits for the calling process to end (when the
// caller terminates) and then starts the given path. Also the request for
// the companion application, which starts beside the kiosk.

#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

// Keys of a relaunch request dictionary (spelled exactly so).
inline constexpr const char* kPathOfAppToLaunch = "pathOfAppToLaunch";
inline constexpr const char* kLSLaunchFlags = "LSLaunchFlags";
inline constexpr const char* kTerminateSelf = "terminateSelf";
inline constexpr const char* kRelaunchSender = "sender";
inline constexpr const char* kNSApplicationPath = "NSApplicationPath";
inline constexpr const char* kNSApplicationLaunchFlags = "NSApplicationLaunchFlags";

// Launch hidden, do not switch to it, do not add it to the recent items.
inline constexpr long kCompanionLaunchFlags = 0x100300;

struct RelaunchCommand {
    std::string program;            // the relaunch program
    std::vector<std::string> args;  // path to start, caller's pid ("0": stays), flags
    bool terminateCaller = true;
    Value sender;  // handed to the termination when the caller ends
};

// The command for `request` (none or a button: relaunch this program;
// a dictionary: as its keys say). `ownPath` is this program, `pid` this
// process. Nullopt, logged, when a dictionary names no path to start.
// Any thread; pure.
std::optional<RelaunchCommand> planRelaunch(const std::optional<Dictionary>& request,
                                            const std::string& ownPath,
                                            const std::string& relaunchProgram, long pid);

// The request that starts the companion application `name` from the
// folder `appFolder` and keeps the kiosk running.
Dictionary companionRequest(const std::string& appFolder, const std::string& name);

}  // namespace klik
