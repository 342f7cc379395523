#include "share/Outbox.h"

#include <sqlite3.h>

#include <map>

#include "log/Log.h"

namespace klik::share {

namespace {

// One prepared statement, finalised when it goes out of scope.
class Stmt {
  public:
    Stmt(sqlite3* db, const char* sql) {
        if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK) s_ = nullptr;
    }
    ~Stmt() { sqlite3_finalize(s_); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    bool ok() const { return s_ != nullptr; }
    Stmt& bind(int i, const std::string& v) {
        sqlite3_bind_text(s_, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, double v) {
        sqlite3_bind_double(s_, i, v);
        return *this;
    }
    Stmt& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(s_, i, v);
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return s_ ? sqlite3_step(s_) : SQLITE_ERROR; }
    std::int64_t integer(int c) const { return sqlite3_column_int64(s_, c); }
    double real(int c) const { return sqlite3_column_double(s_, c); }
    std::string text(int c) const {
        const auto* t = sqlite3_column_text(s_, c);
        return t ? std::string(reinterpret_cast<const char*>(t),
                               static_cast<size_t>(sqlite3_column_bytes(s_, c)))
                 : std::string();
    }

  private:
    sqlite3_stmt* s_ = nullptr;
};

constexpr const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS copies(
  path TEXT NOT NULL,
  target TEXT NOT NULL,
  seen_at REAL NOT NULL,
  PRIMARY KEY(path, target));
CREATE TABLE IF NOT EXISTS jobs(
  id INTEGER PRIMARY KEY,
  path TEXT NOT NULL,
  target TEXT NOT NULL,
  address TEXT NOT NULL DEFAULT '',
  state INTEGER NOT NULL DEFAULT 0,
  attempts INTEGER NOT NULL DEFAULT 0,
  next_at REAL NOT NULL,
  created_at REAL NOT NULL,
  updated_at REAL NOT NULL,
  last_error TEXT NOT NULL DEFAULT '',
  body_sent INTEGER NOT NULL DEFAULT 0,
  uncertain INTEGER NOT NULL DEFAULT 0,
  UNIQUE(path, target, address));
CREATE INDEX IF NOT EXISTS jobs_due ON jobs(state, next_at);
)SQL";

constexpr const char* kJobColumns =
    "id, path, target, address, state, attempts, next_at, created_at, last_error, body_sent, "
    "uncertain";

Job readJob(const Stmt& s) {
    Job j;
    j.id = s.integer(0);
    j.path = s.text(1);
    j.target = s.text(2);
    j.address = s.text(3);
    j.state = static_cast<JobState>(s.integer(4));
    j.attempts = static_cast<int>(s.integer(5));
    j.nextAttempt = s.real(6);
    j.created = s.real(7);
    j.lastError = s.text(8);
    j.bodySent = s.integer(9) != 0;
    j.uncertainRestarts = static_cast<int>(s.integer(10));
    return j;
}

// BEGIN IMMEDIATE ... COMMIT; rolled back unless committed.
class Transaction {
  public:
    explicit Transaction(sqlite3* db) : db_(db) {
        began_ = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction() {
        if (began_ && !committed_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool began() const { return began_; }
    bool commit() {
        committed_ = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        return committed_;
    }

  private:
    sqlite3* db_;
    bool began_ = false, committed_ = false;
};

}  // namespace

const char* jobStateName(JobState s) {
    switch (s) {
        case JobState::Pending:
            return "pending";
        case JobState::InFlight:
            return "in flight";
        case JobState::Done:
            return "done";
        case JobState::Failed:
            return "failed";
    }
    return "?";
}

std::unique_ptr<Outbox> Outbox::open(const std::string& path, std::string* error, bool readOnly) {
    sqlite3* db = nullptr;
    const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    if (sqlite3_open_v2(path.c_str(), &db, flags | SQLITE_OPEN_FULLMUTEX, nullptr) != SQLITE_OK) {
        if (error) *error = "cannot open the outbox " + path + ": " + sqlite3_errmsg(db);
        sqlite3_close(db);
        return nullptr;
    }
    // Another process (klikctl, the kiosk's status reader) may hold the
    // database for a moment.
    // A reader (the kiosk's check) never waits long.
    sqlite3_busy_timeout(db, readOnly ? 200 : 10000);
    std::unique_ptr<Outbox> box(new Outbox(db, path));
    if (!readOnly) {
        // WAL: readers never block the writer; FULL: a committed state
        // change survives a power cut, not only a crash of the process.
        if (!box->exec("PRAGMA journal_mode=WAL") || !box->exec("PRAGMA synchronous=FULL") ||
            !box->exec(kSchema)) {
            if (error) *error = box->lastError();
            return nullptr;
        }
    } else {
        Stmt probe(db, "SELECT count(*) FROM jobs");
        if (!probe.ok()) {
            if (error)
                *error = "the outbox " + path + " holds no jobs table: " + sqlite3_errmsg(db);
            return nullptr;
        }
    }
    return box;
}

Outbox::Outbox(sqlite3* db, std::string path) : db_(db), path_(std::move(path)) {}

Outbox::~Outbox() {
    sqlite3_close(db_);
}

bool Outbox::fail(const std::string& what) {
    lastError_ = what + ": " + sqlite3_errmsg(db_);
    GLIMRA_Log::err("outbox " + path_ + ": " + lastError_);
    return false;
}

bool Outbox::exec(const char* sql) {
    char* msg = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &msg) != SQLITE_OK) {
        lastError_ = msg ? msg : "unknown error";
        sqlite3_free(msg);
        GLIMRA_Log::err("outbox " + path_ + ": " + lastError_);
        return false;
    }
    return true;
}

int Outbox::recoverInFlight(double now, int* uncertain) {
    Transaction t(db_);
    if (!t.began()) return fail("cannot begin"), -1;
    Stmt count(db_, "SELECT count(*), coalesce(sum(body_sent), 0) FROM jobs WHERE state = 1");
    if (count.step() != SQLITE_ROW) return fail("cannot count jobs in flight"), -1;
    const int n = static_cast<int>(count.integer(0));
    const int unsure = static_cast<int>(count.integer(1));
    Stmt up(db_,
            "UPDATE jobs SET state = 0, next_at = ?1, updated_at = ?1, uncertain = uncertain + "
            "body_sent, body_sent = 0 WHERE state = 1");
    up.bind(1, now);
    if (up.step() != SQLITE_DONE || !t.commit()) return fail("cannot recover jobs in flight"), -1;
    if (uncertain) *uncertain = unsure;
    return n;
}

std::optional<std::vector<std::string>> Outbox::targetsConsidered(const std::string& path) {
    Stmt s(db_, "SELECT target FROM copies WHERE path = ?1");
    if (!s.ok()) return fail("cannot read copies"), std::nullopt;
    s.bind(1, path);
    std::vector<std::string> out;
    int r;
    while ((r = s.step()) == SQLITE_ROW) out.push_back(s.text(0));
    if (r != SQLITE_DONE) return fail("cannot read copies"), std::nullopt;
    return out;
}

bool Outbox::addJobs(const std::string& path, const std::vector<std::string>& targets,
                     const std::vector<JobSpec>& jobs, double now) {
    Transaction t(db_);
    if (!t.began()) return fail("cannot begin");
    for (const auto& target : targets) {
        Stmt s(db_, "INSERT OR IGNORE INTO copies(path, target, seen_at) VALUES(?1, ?2, ?3)");
        s.bind(1, path).bind(2, target).bind(3, now);
        if (s.step() != SQLITE_DONE) return fail("cannot record " + path);
    }
    for (const auto& j : jobs) {
        Stmt s(db_,
               "INSERT OR IGNORE INTO jobs(path, target, address, state, next_at, created_at, "
               "updated_at) VALUES(?1, ?2, ?3, 0, ?4, ?4, ?4)");
        s.bind(1, path).bind(2, j.target).bind(3, j.address).bind(4, now);
        if (s.step() != SQLITE_DONE) return fail("cannot queue a job for " + path);
    }
    return t.commit() || fail("cannot commit the jobs of " + path);
}

std::optional<Job> Outbox::takeDueJob(double now, bool ignoreBackoff,
                                      const std::vector<std::int64_t>& exclude) {
    Transaction t(db_);
    if (!t.began()) return fail("cannot begin"), std::nullopt;
    const std::string sql = std::string("SELECT ") + kJobColumns +
                            " FROM jobs WHERE state = 0 AND (?1 OR next_at <= ?2) ORDER BY "
                            "next_at, id";
    Stmt s(db_, sql.c_str());
    s.bind(1, static_cast<std::int64_t>(ignoreBackoff)).bind(2, now);
    std::optional<Job> found;
    int r;
    while ((r = s.step()) == SQLITE_ROW) {
        Job j = readJob(s);
        bool skip = false;
        for (auto id : exclude) skip = skip || id == j.id;
        if (!skip) {
            found = std::move(j);
            break;
        }
    }
    if (r != SQLITE_ROW && r != SQLITE_DONE) return fail("cannot read due jobs"), std::nullopt;
    if (!found) return std::nullopt;
    Stmt up(db_,
            "UPDATE jobs SET state = 1, attempts = attempts + 1, body_sent = 0, updated_at = ?2 "
            "WHERE id = ?1");
    up.bind(1, found->id).bind(2, now);
    if (up.step() != SQLITE_DONE || !t.commit())
        return fail("cannot mark job " + std::to_string(found->id) + " in flight"), std::nullopt;
    found->state = JobState::InFlight;
    found->attempts += 1;
    return found;
}

bool Outbox::setState(std::int64_t id, const char* sql, double a, const std::string* text,
                      double now) {
    Stmt s(db_, sql);
    if (!s.ok()) return fail("cannot prepare");
    s.bind(1, id).bind(2, now).bind(3, a);
    if (text) s.bind(4, *text);
    if (s.step() != SQLITE_DONE) return fail("cannot update job " + std::to_string(id));
    return true;
}

bool Outbox::markBodySent(std::int64_t id) {
    return setState(id, "UPDATE jobs SET body_sent = 1, updated_at = ?2 + 0 * ?3 WHERE id = ?1", 0,
                    nullptr, 0);
}

bool Outbox::markDone(std::int64_t id, double now) {
    return setState(id, "UPDATE jobs SET state = 2, updated_at = ?2 + 0 * ?3 WHERE id = ?1", 0,
                    nullptr, now);
}

bool Outbox::markRetry(std::int64_t id, double nextAttempt, const std::string& error, double now,
                       bool maybeTaken) {
    // A refusal is the server's word that it kept nothing; only an end
    // that went out unanswered may have been taken.
    Stmt s(db_,
           "UPDATE jobs SET state = 0, next_at = ?3, last_error = ?4, "
           "uncertain = uncertain + body_sent * ?5, body_sent = 0, updated_at = ?2 WHERE id = ?1");
    if (!s.ok()) return fail("cannot prepare");
    s.bind(1, id)
        .bind(2, now)
        .bind(3, nextAttempt)
        .bind(4, error)
        .bind(5, static_cast<std::int64_t>(maybeTaken ? 1 : 0));
    if (s.step() != SQLITE_DONE) return fail("cannot update job " + std::to_string(id));
    return true;
}

bool Outbox::markFailed(std::int64_t id, const std::string& error, double now) {
    return setState(id,
                    "UPDATE jobs SET state = 3, last_error = ?4, body_sent = 0, updated_at = ?2 "
                    "+ 0 * ?3 WHERE id = ?1",
                    0, &error, now);
}

bool Outbox::returnToPending(std::int64_t id, double now) {
    return setState(
        id,
        "UPDATE jobs SET state = 0, next_at = ?2, body_sent = 0, updated_at = ?2 + 0 * ?3 "
        "WHERE id = ?1",
        0, nullptr, now);
}

int Outbox::retryFailed(double now, const std::string& target) {
    Stmt s(db_,
           "UPDATE jobs SET state = 0, next_at = ?1, attempts = 0, updated_at = ?1 WHERE state "
           "= 3 AND (?2 = '' OR target = ?2)");
    s.bind(1, now).bind(2, target);
    if (s.step() != SQLITE_DONE) return fail("cannot put failed jobs back"), -1;
    return sqlite3_changes(db_);
}

std::optional<double> Outbox::nextDueTime() {
    Stmt s(db_, "SELECT count(*), min(next_at) FROM jobs WHERE state = 0");
    if (s.step() != SQLITE_ROW) return fail("cannot read the next due job"), std::nullopt;
    if (s.integer(0) == 0) return std::nullopt;
    return s.real(1);
}

std::vector<TargetSummary> Outbox::summary() {
    std::map<std::string, TargetSummary> by;
    for (const char* t : {kTargetEmail, kTargetCloud}) by[t].target = t;
    Stmt s(db_,
           "SELECT target, state, count(*), min(created_at), sum(uncertain) FROM jobs GROUP BY "
           "target, state");
    while (s.step() == SQLITE_ROW) {
        auto& ts = by[s.text(0)];
        ts.target = s.text(0);
        const int n = static_cast<int>(s.integer(2));
        switch (static_cast<JobState>(s.integer(1))) {
            case JobState::Pending:
                ts.pending = n;
                ts.oldestPending = s.real(3);
                break;
            case JobState::InFlight:
                ts.inFlight = n;
                break;
            case JobState::Done:
                ts.done = n;
                break;
            case JobState::Failed:
                ts.failed = n;
                break;
        }
        ts.uncertain += static_cast<int>(s.integer(4));
    }
    Stmt e(db_,
           "SELECT target, last_error, max(updated_at) FROM jobs WHERE last_error != '' GROUP "
           "BY target");
    while (e.step() == SQLITE_ROW) {
        auto& ts = by[e.text(0)];
        ts.lastError = e.text(1);
        ts.lastErrorAt = e.real(2);
    }
    std::vector<TargetSummary> out;
    for (auto& [k, v] : by) out.push_back(std::move(v));
    return out;
}

std::optional<Job> Outbox::job(std::int64_t id) {
    const std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs WHERE id = ?1";
    Stmt s(db_, sql.c_str());
    s.bind(1, id);
    if (s.step() != SQLITE_ROW) return std::nullopt;
    return readJob(s);
}

std::vector<Job> Outbox::jobs() {
    const std::string sql = std::string("SELECT ") + kJobColumns + " FROM jobs ORDER BY id";
    Stmt s(db_, sql.c_str());
    std::vector<Job> out;
    while (s.step() == SQLITE_ROW) out.push_back(readJob(s));
    return out;
}

double Outbox::oldestUndelivered() {
    Stmt s(db_, "SELECT coalesce(min(created_at), 0) FROM jobs WHERE state IN (0, 1)");
    if (s.step() != SQLITE_ROW) return 0;
    return s.real(0);
}

}  // namespace klik::share
