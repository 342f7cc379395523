#pragma once
// Runs a helper program (rclone) to its end, collecting what it prints,
// and able to end it early when the program that started it is stopping.
//
// Any thread; blocks until the child has ended and is reaped.

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace klik::share {

struct ChildResult {
    bool started = false;
    int exitStatus = -1;   // -1 when it ended by a signal or never started
    bool stopped = false;  // ended because `stopRequested` said so
    std::string output;    // standard output (at most 4 MiB kept)
    std::string errors;    // standard error (the last 64 KiB kept)
    std::string startError;
};

// Starts `args[0]` (searched in PATH) with `args`, its standard output and
// error on `outFd` and `errFd`, standard input from /dev/null. The child is
// killed when this process dies, however it dies. -1 when it cannot start.
// `extraEnvironment` ("NAME=value") is added to this process's own.
pid_t startChild(const std::vector<std::string>& args, int outFd, int errFd,
                 const std::vector<std::string>& extraEnvironment = {});

// Runs `args[0]` (searched in PATH) with `args`. `stopRequested` is asked
// every 100 ms; when it says yes the child gets SIGTERM, and SIGKILL 10 s
// later.
ChildResult runChild(const std::vector<std::string>& args,
                     const std::function<bool()>& stopRequested = {});

}  // namespace klik::share
