#pragma once
// Starting another program: without waiting for it (the relaunch helper and
// the companion application; the child is reaped in the background when it
// ends, so a long-running kiosk collects no zombies), or to its end (tools,
// tests and benchmarks that run a whole program).

#include <sys/types.h>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace klik {

// Starts `program` with `args` (argv[0] is the program itself). Returns the
// child's pid, or nullopt with the reason in `error`. Any thread; does not
// block on the child.
std::optional<pid_t> launchDetached(const std::string& program,
                                    const std::vector<std::string>& args, std::string* error);

// How runAndWait starts its program.
struct RunOptions {
    // Variables set ("NAME", value) or, without a value, removed; the rest
    // of this process's environment is passed on.
    std::vector<std::pair<std::string, std::optional<std::string>>> environment;
    // Files standard output and standard error are written to (created or
    // emptied); "" keeps this process's own.
    std::string standardOutput;
    std::string standardError;
};

// Starts `program` with `args` (argv[0] is the program itself) and waits
// for it to end. Returns its exit status; -1 when it could not be started
// (the reason in `error`) or was ended by a signal. Any thread; blocks.
int runAndWait(const std::string& program, const std::vector<std::string>& args,
               const RunOptions& options = {}, std::string* error = nullptr);

// The folder of the running executable ("" when it cannot be found).
std::string executableFolder();

}  // namespace klik
