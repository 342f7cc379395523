#pragma once
// A server a test starts for itself (the SMTP sink, rclone serve): its own
// process, its output (standard output and error together) kept in a log
// file, ready once a line of its output matches a pattern, stopped by its
// process id.

#include <signal.h>
#include <sys/types.h>

#include <string>
#include <thread>
#include <vector>

namespace klik::test {

class ServerProcess {
  public:
    ServerProcess() = default;
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    // Starts `args` (argv[0] searched in PATH) with `env` ("NAME=value")
    // added, and waits up to 90 s for a line matching `ready` (an ECMAScript
    // regular expression whose first group is kept as `match()`). False,
    // with the output in `error`, when it ended or did not get ready.
    bool start(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& ready, const std::string& logPath, std::string* error);
    // SIGTERM, then SIGKILL after 10 s; waits for the end. Returns the exit
    // status (-1 after a signal).
    int stop() { return end(SIGTERM); }
    // SIGKILL at once (a server that dies).
    void kill() { end(SIGKILL); }
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    const std::string& match() const { return match_; }

  private:
    int end(int signal);
    pid_t pid_ = -1;
    int out_ = -1;
    std::thread drain_;
    std::string match_;
};

// Runs a program to its end; its exit status (-1: signal or not started),
// standard output and error.
struct ProgramResult {
    int status = -1;
    std::string out, err;
};
// `workingDirectory` "" keeps this process's.
ProgramResult runProgram(const std::vector<std::string>& args,
                         const std::vector<std::string>& env = {},
                         const std::string& workingDirectory = "");

// A free TCP port on 127.0.0.1 (bound and released; for a server that must
// come back on the same port).
int freeLoopbackPort();

}  // namespace klik::test
