#pragma once
// Starting another program without waiting for it: the relaunch helper and
// the companion application. The child is reaped in the background when
// it ends, so a long-running kiosk collects no zombies.

#include <sys/types.h>
#include <optional>
#include <string>
#include <vector>

namespace klik {

// Starts `program` with `args` (argv[0] is the program itself). Returns the
// child's pid, or nullopt with the reason in `error`. Any thread; does not
// block on the child.
std::optional<pid_t> launchDetached(const std::string& program,
                                    const std::vector<std::string>& args, std::string* error);

// The folder of the running executable ("" when it cannot be found).
std::string executableFolder();

}  // namespace klik
