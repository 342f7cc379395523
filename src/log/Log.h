#pragma once
// The kiosk's single diagnostic log. Class-level state only: every part of
// the system writes through these static operations. Lines go to one log
// file (and optionally standard error) in one fixed format; a whole line is
// written with one write, so lines from concurrent threads never mix.

#include <cstdarg>
#include <optional>
#include <string>

#include "foundation/Value.h"

namespace klik {

class GLIMRA_Log {
  public:
    GLIMRA_Log() = delete;

    // The one writer. Levels: 0 INFO "I", 1 DEBUG "D", 2 DEBUG2 "D2",
    // 3 ERROR "E", 4 WARN "W"; any other value is treated as 1.
    // Thread-safe.
    static void logLevel(unsigned level, const std::string& message);
    // Level 1; a message with line breaks is written as one line per piece.
    static void debug(const std::string& message);
    // printf-style convenience for debug().
    static void debugf(const char* format, ...) __attribute__((format(printf, 1, 2)));
    static void err(const std::string& message);
    static void errf(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // Writes at level 3, then blocks the calling thread for good.
    [[noreturn]] static void fatal(const std::string& message);

    // Rolls the file when it is 1 MiB or larger, then opens it for
    // appending (mode 0664). True when this call opened the file.
    static bool setLogFile(const std::string& path);
    static void rollLogFileIfNecessary(const std::string& path);
    // Moves `path` (when at least `size` bytes) onto the end of `target`
    // (default "<base>_old.<ext>"), keeping the old log within 10 MiB.
    static void rollLogFile(const std::string& path, const std::string& target, size_t size);

    static void setShouldLogToStdErr(bool on);
    static void setShouldLogAppName(bool on);
    static void setApplicationName(const std::string& name);

    // The current local time as "[YYYY/MM/dd HH:mm:ss.SSS Z]".
    static std::string logDateString();
    // Hex dump, one debug() line per 16 bytes.
    static void logData(const Data& bytes);
    static void logData(const void* bytes, size_t length);

    // The path of the open log file ("" when none).
    static std::string logFilePath();
    // Closes the file and restores the initial state (pending buffer, no
    // mirroring, process name). For tests and for the tool.
    static void resetForTesting();

    // Whether a successful setLogFile() also points the process's standard
    // error at the log file (on by default; tests turn it off). Call before
    // setLogFile(). Thread-safe.
    static void setRedirectsStdErr(bool on);
    // Why the last setLogFile() could not open its file ("" after a success
    // or before any attempt). Thread-safe; returns a copy.
    static std::string lastOpenError();

    // The start-up banner: a rule of 80 carets, "<process> starting up",
    // then systemVersionInfo(). Any thread; does not block for long.
    static std::string startupInfo();
    // Two lines describing the OS, memory, processors, byte order, pointer
    // width and host model. Any thread; reads /proc, /sys and uname.
    static std::string systemVersionInfo();
    // "freePages", "freeBytes", "freeMB" of physical memory; none when the
    // host does not tell. Any thread.
    static std::optional<Dictionary> vmStats();
    // "<model> (<architecture>)", e.g. "ThinkPad T14 (x86_64)"; none when
    // the host tells neither. Any thread.
    static std::optional<std::string> hostModelAndArch();
};

// printf into a std::string.
std::string stringWithFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string stringWithFormatV(const char* format, va_list args);

}  // namespace klik
