#include "log/Log.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <shared_mutex>
#include <thread>

#include "foundation/DateFormat.h"
#include "foundation/Diagnostics.h"
#include "log/ConsoleLog.h"

namespace klik {

namespace {

constexpr size_t kPendingLimit = 1000000;
constexpr size_t kPendingDrop = 10000;
constexpr mode_t kLogFileMode = 0664;

std::string processName() {
    const char* n = program_invocation_short_name;
    return (n && *n) ? n : "klik";
}

// Class state, created on first use and kept for the whole process.
//
// How lines stay whole: every line is composed completely and handed to the
// kernel with a single write(2) on a file descriptor opened with O_APPEND.
// The kernel serialises appends to one regular file, so a line from one
// thread can neither split nor interleave with another thread's line, and
// writers need no lock of their own. The shared mutex only protects the
// state around them (descriptor, name, pending buffer) against the rare
// exclusive changes made by setLogFile() and the setters; writers take it
// shared, so they do not wait on each other.
struct LogState {
    std::shared_mutex stateMutex;
    std::string applicationName = processName();
    int fd = -1;              // the open log file, or -1
    std::string path;         // its standardised path
    bool hasPending = true;   // the pending buffer exists until a file opens
    std::mutex pendingMutex;  // guards `pending` (appended under a shared lock)
    std::string pending;
    std::atomic<bool> toStdErr{false};
    std::atomic<bool> logAppName{false};
    std::atomic<bool> redirectStdErr{true};
    int savedStdErr = -1;  // the original standard error while redirected
    int journalFd = -1;    // the systemd journal's stream, when that was standard error
    std::string lastOpenError;
};

LogState& state() {
    static LogState s;
    return s;
}

// Writes all of `bytes` to `fd`; one write(2) in all but the rare case of a
// short write (full disk, signal), where the rest follows. Failures are
// ignored: a log must never take its caller down.
void writeWhole(int fd, const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (n == 0) return;
        off += static_cast<size_t>(n);
    }
}

const char* fileTag(unsigned level) {
    switch (level) {
        case 0:
            return "I";
        case 2:
            return "D2";
        case 3:
            return "E";
        case 4:
            return "W";
        default:
            return "D";
    }
}

// The journal's priority prefix for a line (sd-daemon(3)): debug 7, info 6,
// warning 4, error 3.
const char* journalPriority(unsigned level) {
    switch (level) {
        case 0:
            return "<6>";
        case 3:
            return "<3>";
        case 4:
            return "<4>";
        default:
            return "<7>";
    }
}

// Whether `fd` is the stream systemd connected to the journal: the unit's
// standard error is, and JOURNAL_STREAM names its device and inode.
bool isJournalStream(int fd) {
    const char* env = std::getenv("JOURNAL_STREAM");
    if (!env || !*env) return false;
    unsigned long long dev = 0, ino = 0;
    if (std::sscanf(env, "%llu:%llu", &dev, &ino) != 2) return false;
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == dev && st.st_ino == ino;
}

std::string longName(unsigned level, const std::string& appName) {
    switch (level) {
        case 0:
            return "INFO";
        case 2:
            return "DEBUG2: " + appName;
        case 3:
            return "ERROR";
        case 4:
            return "WARN";
        default:
            return "DEBUG: " + appName;
    }
}

// "~", "." and ".." resolved; relative paths stay relative.
std::string standardizePath(const std::string& path) {
    if (path.empty()) return path;
    std::string p = path;
    if (p[0] == '~' && (p.size() == 1 || p[1] == '/')) {
        const char* home = std::getenv("HOME");
        if (home && *home) p = std::string(home) + p.substr(1);
    }
    std::string norm = std::filesystem::path(p).lexically_normal().string();
    while (norm.size() > 1 && norm.back() == '/') norm.pop_back();
    return norm.empty() ? p : norm;
}

}  // namespace

std::string stringWithFormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return {};
    if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, format, args);
    return out;
}

std::string stringWithFormat(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = stringWithFormatV(format, args);
    va_end(args);
    return s;
}

std::string GLIMRA_Log::logDateString() {
    return stringWithUTSFormat("[YYYY/MM/dd HH:mm:ss.SSS Z]", std::chrono::system_clock::now());
}

void GLIMRA_Log::logLevel(unsigned level, const std::string& message) {
    LogState& s = state();
    std::shared_lock lock(s.stateMutex);
    const bool toStdErr = s.toStdErr.load(std::memory_order_relaxed);
    if (!toStdErr && s.fd < 0) return;

    if (toStdErr)
        writeWhole(STDERR_FILENO, longName(level, s.applicationName) + ": " + message + "\n");
    if (!s.hasPending && s.fd < 0) return;

    std::string line = fileTag(level);
    line += ' ';
    line += logDateString();
    if (s.logAppName.load(std::memory_order_relaxed)) {
        line += ' ';
        line += s.applicationName;
        line += ':';
    }
    line += ' ';
    line += message;
    line += '\n';

    if (s.hasPending) {
        std::lock_guard pendingLock(s.pendingMutex);
        if (s.pending.size() > kPendingLimit) {
            // Drop the oldest text, but never half a UTF-8 character.
            size_t cut = kPendingDrop;
            while (cut < s.pending.size() &&
                   (static_cast<unsigned char>(s.pending[cut]) & 0xC0) == 0x80)
                ++cut;
            s.pending.erase(0, cut);
        }
        s.pending += line;
        return;
    }
    writeWhole(s.fd, line);
    if (s.journalFd >= 0) writeWhole(s.journalFd, journalPriority(level) + line);
}

void GLIMRA_Log::debug(const std::string& message) {
    if (message.find('\n') == std::string::npos) {
        logLevel(1, message);
        return;
    }
    size_t start = 0;
    while (true) {
        size_t nl = message.find('\n', start);
        if (nl == std::string::npos) {
            logLevel(1, message.substr(start));
            break;
        }
        logLevel(1, message.substr(start, nl - start));
        start = nl + 1;
    }
}

void GLIMRA_Log::debugf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = stringWithFormatV(format, args);
    va_end(args);
    debug(s);
}

void GLIMRA_Log::err(const std::string& message) {
    logLevel(3, message);
}

void GLIMRA_Log::errf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string s = stringWithFormatV(format, args);
    va_end(args);
    err(s);
}

void GLIMRA_Log::fatal(const std::string& message) {
    logLevel(3, message);
    // The thread stops here for good; the rest of the process carries on
    // (the watchdog decides whether it lives).
    while (true) {
        std::this_thread::sleep_for(std::chrono::hours(24 * 365 * 100));
        std::exit(1);
    }
}

bool GLIMRA_Log::setLogFile(const std::string& rawPath) {
    const std::string path = standardizePath(rawPath);
    consoleLog(stringWithFormat("setLogFile - redirecting log to path = [%s]...", path.c_str()));
    if (!path.empty()) rollLogFileIfNecessary(path);

    LogState& s = state();
    std::string failure;
    {
        std::unique_lock lock(s.stateMutex);
        if (s.fd >= 0 || path.empty()) return false;
        int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kLogFileMode);
        if (fd < 0) {
            int e = errno;
            failure = stringWithFormat("Failed to open log file at %s; error %d \"%s\"",
                                       path.c_str(), e, std::strerror(e));
            s.lastOpenError = failure;
        } else {
            ::fchmod(fd, kLogFileMode);
            // Run as a service whose standard error is the journal: the log's
            // lines go there too, so `journalctl` shows them beside the file.
            if (!s.toStdErr.load() && s.redirectStdErr.load() && s.journalFd < 0 &&
                isJournalStream(STDERR_FILENO))
                s.journalFd = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
            {
                std::lock_guard pendingLock(s.pendingMutex);
                if (!s.pending.empty()) {
                    writeWhole(fd, s.pending);
                    if (s.journalFd >= 0) writeWhole(s.journalFd, s.pending);
                    ::fsync(fd);
                }
                s.pending.clear();
                s.pending.shrink_to_fit();
                s.hasPending = false;
            }
            s.fd = fd;
            s.path = path;
            s.lastOpenError.clear();
            if (!s.toStdErr.load() && s.redirectStdErr.load()) {
                // From here on everything the process writes to standard
                // error lands in the log, between the log's own lines. fd 2
                // shares the log's O_APPEND open file.
                std::fflush(stderr);
                if (s.savedStdErr < 0) s.savedStdErr = ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
                ::dup2(fd, STDERR_FILENO);
            }
        }
    }
    if (!failure.empty()) {
        debug(failure);
        return false;
    }
    // Problems the foundation meets from now on are written into the log.
    setDiagnosticSink([](const std::string& line) { GLIMRA_Log::debug(line); });
    return true;
}

void GLIMRA_Log::setShouldLogToStdErr(bool on) {
    state().toStdErr.store(on);
}
void GLIMRA_Log::setShouldLogAppName(bool on) {
    state().logAppName.store(on);
}
void GLIMRA_Log::setRedirectsStdErr(bool on) {
    state().redirectStdErr.store(on);
}

void GLIMRA_Log::setApplicationName(const std::string& name) {
    LogState& s = state();
    std::unique_lock lock(s.stateMutex);
    s.applicationName = name;
}

std::string GLIMRA_Log::logFilePath() {
    LogState& s = state();
    std::shared_lock lock(s.stateMutex);
    return s.fd >= 0 ? s.path : std::string();
}

std::string GLIMRA_Log::lastOpenError() {
    LogState& s = state();
    std::shared_lock lock(s.stateMutex);
    return s.lastOpenError;
}

void GLIMRA_Log::resetForTesting() {
    setDiagnosticSink({});
    LogState& s = state();
    std::unique_lock lock(s.stateMutex);
    if (s.savedStdErr >= 0) {
        std::fflush(stderr);
        ::dup2(s.savedStdErr, STDERR_FILENO);
        ::close(s.savedStdErr);
        s.savedStdErr = -1;
    }
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
    if (s.journalFd >= 0) ::close(s.journalFd);
    s.journalFd = -1;
    s.path.clear();
    {
        std::lock_guard pendingLock(s.pendingMutex);
        s.pending.clear();
        s.hasPending = true;
    }
    s.toStdErr.store(false);
    s.logAppName.store(false);
    s.redirectStdErr.store(true);
    s.applicationName = processName();
    s.lastOpenError.clear();
}

}  // namespace klik
