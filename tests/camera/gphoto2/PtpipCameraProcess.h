#pragma once
// Our own PTP/IP camera program (klik-ptpip-camera) run privately for a
// test: on a loopback port of its own, started and stopped by process id.

#include <sys/types.h>

#include <string>
#include <thread>

namespace klik::test {

class PtpipCameraProcess {
  public:
    ~PtpipCameraProcess() { stop(); }
    // The program's path, or empty when it is not built.
    static std::string program();
    // Starts it on a free loopback port (`faultsFile`: its fault script, may
    // be empty) and waits for its "listening on" line. False, with the
    // reason in `error`, when it did not come up.
    bool start(const std::string& faultsFile, std::string& error);
    // Stops it (SIGTERM, then waits for it). Idempotent.
    void stop();
    // Stops it at once without a goodbye, as a camera that is switched off.
    void kill();
    // "127.0.0.1:PORT".
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    int port() const { return port_; }
    pid_t pid() const { return pid_; }

  private:
    pid_t pid_ = -1;
    int port_ = 0;
    std::thread drain_;
};

// A loopback port nothing listens on right now.
int freeLoopbackPort();

}  // namespace klik::test
