#pragma once
// The delivery jobs of the upload side, kept in an SQLite database so that
// no delivery is lost or made twice when the program is stopped, killed or
// the machine loses power.
//
// A job is one delivery of one upload copy to one target: an email to one
// address, or the copy to the event's cloud. Its states:
//
//   pending --take--> in flight --done--> done
//                        |  \--temporary failure--> pending (later, backed off)
//                        \--permanent failure--> failed for good
//
// Every change of state is one transaction (WAL journal, synchronous=FULL),
// written before the next step is taken: a job is marked in flight before
// anything leaves the booth, and done the moment the server's acceptance is
// read. A job found in flight when the outbox is opened was cut off by a
// crash and is tried again. The only way to deliver twice is therefore a
// crash between the server taking the message and the done being written;
// for email that moment is narrowed further: the job is marked "body sent"
// just before the message's end is sent, so a restart knows which jobs
// might have arrived (`uncertain`) and the resend carries the same
// Message-ID, by which receiving mail systems recognise the copy.
//
// One Outbox object per thread (an SQLite connection); several processes may
// open the same file (klikctl reads it while klik-share works). Calls block
// on the disk. Failures (disk full, read-only) return false or nullopt with
// the reason logged and in lastError(); the state on disk is then the one
// before the call.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace klik::share {

enum class JobState { Pending = 0, InFlight = 1, Done = 2, Failed = 3 };

// The targets a job can have.
inline constexpr const char* kTargetEmail = "email";
inline constexpr const char* kTargetCloud = "cloud";

struct Job {
    std::int64_t id = 0;
    std::string path;     // the upload copy
    std::string target;   // kTargetEmail or kTargetCloud
    std::string address;  // the recipient (email); "" for the cloud
    JobState state = JobState::Pending;
    int attempts = 0;           // deliveries started
    double nextAttempt = 0;     // seconds since the epoch
    double created = 0;         // when it was queued
    std::string lastError;      // the last failure's reason
    bool bodySent = false;      // email: the whole message went out in the last attempt
    int uncertainRestarts = 0;  // restarts that found the message possibly delivered
};

// What one upload copy needs: its jobs, and which targets were considered
// (a target set up later still gets its jobs for copies seen before).
struct JobSpec {
    std::string target;
    std::string address;
};

struct TargetSummary {
    std::string target;
    int pending = 0, inFlight = 0, done = 0, failed = 0;
    double oldestPending = 0;  // creation time of the oldest pending job (0: none)
    std::string lastError;     // the newest failure's reason
    double lastErrorAt = 0;
    int uncertain = 0;  // jobs resent after a crash that may have delivered them
};

class Outbox {
  public:
    // Opens (creating when missing, unless `readOnly`) the database at
    // `path`. nullptr with the reason in `error` when it cannot.
    static std::unique_ptr<Outbox> open(const std::string& path, std::string* error,
                                        bool readOnly = false);
    ~Outbox();
    Outbox(const Outbox&) = delete;
    Outbox& operator=(const Outbox&) = delete;

    const std::string& path() const { return path_; }
    const std::string& lastError() const { return lastError_; }

    // Jobs left in flight by a process that ended without finishing them go
    // back to pending, due now. Call once when the delivering process
    // starts. Returns how many; `uncertain` (optional) gets how many of
    // those may have been delivered already. -1 on failure.
    int recoverInFlight(double now, int* uncertain = nullptr);

    // Which targets were already considered for `path` (empty when the
    // copy was never seen); nullopt on failure.
    std::optional<std::vector<std::string>> targetsConsidered(const std::string& path);
    // Records that `targets` were considered for `path` and queues `jobs`
    // (due now), all in one transaction. A job that exists already is kept
    // as it is. False (nothing written) on failure.
    bool addJobs(const std::string& path, const std::vector<std::string>& targets,
                 const std::vector<JobSpec>& jobs, double now);

    // The oldest due pending job (next attempt at or before `now`, or any
    // pending job when `ignoreBackoff`), marked in flight with its attempt
    // counted. `exclude` leaves out jobs of those ids. nullopt when
    // none is due or on failure (see lastError()).
    std::optional<Job> takeDueJob(double now, bool ignoreBackoff = false,
                                  const std::vector<std::int64_t>& exclude = {});
    // The job's message end is about to be sent (email).
    bool markBodySent(std::int64_t id);
    bool markDone(std::int64_t id, double now);
    // A temporary failure: pending again, due at `nextAttempt`.
    // `maybeTaken`: the message's end went out without an answer, so the
    // next send may be a copy (counted as uncertain when its end was
    // recorded as sent).
    bool markRetry(std::int64_t id, double nextAttempt, const std::string& error, double now,
                   bool maybeTaken = false);
    // A permanent failure: failed for good.
    bool markFailed(std::int64_t id, const std::string& error, double now);
    // The attempt was stopped before it could finish (the program is
    // ending): pending again, due now.
    bool returnToPending(std::int64_t id, double now);

    // Failed-for-good jobs (of `target`, or all when empty) become pending,
    // due now, their attempts reset. Returns how many; -1 on failure.
    int retryFailed(double now, const std::string& target = {});

    // When the next pending job is due (nullopt: none pending).
    std::optional<double> nextDueTime();
    std::vector<TargetSummary> summary();
    std::optional<Job> job(std::int64_t id);
    std::vector<Job> jobs();  // every job, oldest first (tools and tests)
    // Creation time of the oldest pending or in-flight job (0 when none).
    double oldestUndelivered();

  private:
    Outbox(sqlite3* db, std::string path);
    bool exec(const char* sql);
    bool fail(const std::string& what);
    bool setState(std::int64_t id, const char* sql, double a, const std::string* text, double now);

    sqlite3* db_;
    std::string path_;
    std::string lastError_;
};

const char* jobStateName(JobState s);

}  // namespace klik::share
