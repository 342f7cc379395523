#include "log/ConsoleLog.h"

#include <errno.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>

#include "foundation/DateFormat.h"

namespace klik {

void consoleLog(const std::string& message) {
    std::string line =
        stringWithUTSFormat("yyyy-MM-dd HH:mm:ss.SSS", std::chrono::system_clock::now());
    line += ' ';
    line += program_invocation_short_name;
    line += '[' + std::to_string(::getpid()) + ':' + std::to_string(::syscall(SYS_gettid)) + "] ";
    line += message;
    if (line.empty() || line.back() != '\n') line += '\n';
    size_t off = 0;
    while (off < line.size()) {
        ssize_t n = ::write(STDERR_FILENO, line.data() + off, line.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        off += static_cast<size_t>(n);
    }
}

}  // namespace klik
