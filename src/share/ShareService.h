#pragma once
// The upload side at work: finds the kiosk's upload copies (folder scan,
// inotify, the kiosk's announcement), queues one job per delivery in the
// outbox, and works the jobs off one at a time: email through SMTP, the
// event's cloud through rclone. Temporary failures are retried with
// back-off; permanent ones are kept as failed for good for the operator.
//
// Programs that want to know of each new upload copy (the booth's gallery)
// subscribe with addUploadCopyObserver().
//
// One thread runs the service (run() or runOnce()); requestStop() may be
// called from any thread or a signal handler.

#include <atomic>
#include <functional>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "foundation/Settings.h"
#include "share/AnnouncementListener.h"
#include "share/Backoff.h"
#include "share/CloudUploader.h"
#include "share/Outbox.h"
#include "share/SmtpSender.h"
#include "share/UploadWatcher.h"

namespace klik::share {

struct ShareServiceOptions {
    BackoffPolicy backoff;
    std::string rclone = "rclone";
    // Where stripped copies wait while they are uploaded ("" = beside the
    // outbox database).
    std::string stagingFolder;
    // How often the whole upload folder is scanned even without events.
    double rescanSeconds = 300;
    bool listenOnBus = true;
};

class ShareService {
  public:
    // Called with each complete upload copy the first time this process
    // sees it; `firstSeen` is true when no earlier run had seen it either.
    using UploadCopyObserver = std::function<void(const std::string& path, bool firstSeen)>;

    // `settings` and `outbox` must outlive the service.
    ShareService(Settings& settings, Outbox& outbox, ShareServiceOptions options = {});
    ~ShareService();
    ShareService(const ShareService&) = delete;
    ShareService& operator=(const ShareService&) = delete;

    void addUploadCopyObserver(UploadCopyObserver observer);

    // Takes what is in the upload folder, tries every pending job once
    // (back-off or not) and returns: 0 when nothing is left pending or
    // failed for good, 1 otherwise.
    int runOnce();
    // Runs until requestStop(); a job in flight is finished (a message whose
    // end was sent waits for the server's answer) or returned to pending.
    // Returns 0.
    int run();
    // Async-signal-safe.
    void requestStop();
    bool stopRequested() const { return stop_.load(); }

    // The upload folder in force (the "forUploadFolder" setting, else the
    // standard one).
    std::string uploadFolder() const;
    // Scans the upload folder now and queues what is new.
    void rescan();
    // Tries one due job; false when none was due.
    bool deliverNextJob(bool ignoreBackoff, std::vector<std::int64_t>* tried = nullptr);

  private:
    void considerFile(const std::string& path);
    void deliver(const Job& job);
    DeliveryResult deliverEmail(const Job& job);
    DeliveryResult deliverCloud(const Job& job);
    void record(const Job& job, const DeliveryResult& result);
    // Writes outcomes that could not be written before (disk full).
    void flushUnrecorded();
    void startWatching();
    void logStartState();
    double now() const;

    Settings& settings_;
    Outbox& outbox_;
    ShareServiceOptions options_;
    std::unique_ptr<UploadWatcher> watcher_;
    AnnouncementListener listener_;
    SmtpSender smtp_;
    CloudUploader cloud_;
    std::vector<UploadCopyObserver> observers_;
    std::set<std::string> seenThisRun_;
    std::atomic<bool> stop_{false};
    int wakeFd_ = -1;
    std::mt19937_64 random_;
    double rescanAt_ = 0;
    bool queueingFailed_ = false;
    struct Unrecorded {
        Job job;
        DeliveryResult result;
    };
    std::vector<Unrecorded> unrecorded_;
    std::string lastWatchError_;
    int targetsInForce_ = 0;  // 1: mail set up, 2: cloud set up
};

// The Message-ID of a job's email: the same for every attempt of that job,
// so a copy sent again after a crash is recognisable as the same message.
std::string messageIdFor(const Job& job, const std::string& from);

}  // namespace klik::share
