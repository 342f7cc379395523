#pragma once
// klik-webserver run privately for a test: its own port (any free one on
// the loopback), its own log, started and stopped by process id.

#include <sys/types.h>

#include <string>
#include <vector>

namespace klik::test {

class WebServerProcess {
  public:
    // Starts the server with `args` (besides --port 0 and --log); false
    // with the reason in `error` when it did not say where it listens.
    bool start(const std::string& logPath, const std::vector<std::string>& args,
               std::string* error);
    // Stops it (SIGTERM, then waits).
    ~WebServerProcess();

    // "http://127.0.0.1:PORT/klik"
    const std::string& base() const { return base_; }
    int port() const { return port_; }
    // Lines of its log containing `needle`.
    std::vector<std::string> logLines(const std::string& needle) const;

  private:
    pid_t pid_ = -1;
    std::string base_, logPath_;
    int port_ = 0;
};

}  // namespace klik::test
