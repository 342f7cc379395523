#pragma once
// A print spooler of the test's own: cupsd started in the foreground with
// its configuration, spool, state, logs and listening socket under a
// temporary folder, stopped by its process id when the object goes. The
// system's spooler and /etc/cups are never used. One queue taking PDF as
// it comes (A4 or Letter, printable to the edge) whose jobs a private
// backend writes, one file per job, into outputFolder(); clients
// in this process (libcups, Qt's print support, the admin tools started
// with run()) reach it through CUPS_SERVER, which is restored afterwards.
//
// Needs cupsd and lpadmin and root (the backend runs as root); otherwise
// running() is false and whyNot() says why, for GTEST_SKIP.

#include <sys/types.h>

#include <string>
#include <vector>

#include "support/TempDir.h"

namespace klik::test {

class PrivateCupsd {
  public:
    explicit PrivateCupsd(std::string queue = "KlikTest");
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    bool running() const { return pid_ > 0 && whyNot_.empty(); }
    const std::string& whyNot() const { return whyNot_; }
    const std::string& queue() const { return queue_; }
    const std::string& socketPath() const { return socket_; }
    std::string outputFolder() const { return dir_.file("out"); }

    // Runs a spooler tool (e.g. {"cupsdisable", "-r", "jam", queue()})
    // against this spooler; its exit status, -1 when it could not start.
    int run(const std::vector<std::string>& argv) const;
    // The job files written so far, sorted.
    std::vector<std::string> jobFiles() const;
    // What the printer reports with each following job: backend lines such
    // as "ATTR: marker-levels=5" or "STATE: +media-empty-error".
    void reportSupplies(const std::vector<std::string>& lines) const;
    // Waits (up to `seconds`) until at least `count` job files exist.
    bool waitForJobFiles(size_t count, double seconds = 30) const;
    // The scheduler's error log (for failure messages).
    std::string errorLog() const;

  private:
    bool start();
    void stop();

    TempDir dir_;
    std::string queue_;
    std::string socket_;
    std::string whyNot_;
    pid_t pid_ = -1;
    bool hadServer_ = false;
    std::string oldServer_;
};

}  // namespace klik::test
