#pragma once
// rclone's remote-control daemon (`rclone rcd`), started once and asked
// over HTTP for each upload: one rclone process for the whole run instead
// of one per file, so connections to the remote are kept and the per-file
// cost is a request, not a program start.
//
// It listens on 127.0.0.1 only, on a port of its own choosing, behind a
// user and password made for this run (other users of the machine cannot
// drive it), and dies with the program that started it.
//
// One thread uses an object; calls block for the request.

#include <sys/types.h>

#include <functional>
#include <string>

namespace klik::share {

struct RcAnswer {
    long status = 0;       // HTTP status; 0 when the daemon could not be reached
    std::string body;      // the JSON answer
    bool stopped = false;  // given up because a stop was requested
};

class RcloneDaemon {
  public:
    explicit RcloneDaemon(std::string rclone = "rclone") : rclone_(std::move(rclone)) {}
    ~RcloneDaemon();
    RcloneDaemon(const RcloneDaemon&) = delete;
    RcloneDaemon& operator=(const RcloneDaemon&) = delete;

    // Starts the daemon when it is not running (waits up to 30 s for it to
    // listen). False with the reason when it cannot.
    bool ensureRunning(std::string* error);
    void stop();
    bool running() const { return pid_ > 0; }

    // POSTs `json` to the daemon's `method` ("operations/copyfile", ...).
    RcAnswer call(const std::string& method, const std::string& json,
                  const std::function<bool()>& stopRequested = {});

  private:
    std::string rclone_;
    pid_t pid_ = -1;
    std::string url_, user_, password_;
    void* curl_ = nullptr;
};

// `s` as a JSON string literal (quoted, escaped). Pure.
std::string jsonString(const std::string& s);

}  // namespace klik::share
