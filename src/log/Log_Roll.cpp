// Rolling the log file at start-up: the current file's text moves onto the
// end of its "_old" companion, which is kept within a size cap by dropping
// its oldest whole lines.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "foundation/PropertyList.h"
#include "log/Log.h"

namespace klik {

namespace {

constexpr size_t kRollThreshold = 1048576;
constexpr size_t kOldLogCap = 10485760;
constexpr unsigned kRolledLogFileMode = 0664;

// The extension of the last path component ("" when none; a leading dot
// names a hidden file, not an extension).
std::string extensionOf(const std::string& path, size_t* dotPos) {
    size_t slash = path.rfind('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || dot <= nameStart) {
        *dotPos = std::string::npos;
        return {};
    }
    *dotPos = dot;
    return path.substr(dot + 1);
}

// Reads `length` bytes at `offset` of the file at `path` into `out`
// (appending). False when the file cannot be read that far.
bool readRange(const std::string& path, off_t offset, size_t length, std::string& out) {
    if (length == 0) return true;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t start = out.size();
    out.resize(start + length);
    size_t got = 0;
    while (got < length) {
        ssize_t n =
            ::pread(fd, out.data() + start + got, length - got, offset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    ::close(fd);
    out.resize(start + got);
    return got == length;
}

off_t sizeOf(const std::string& path, bool* exists) {
    struct stat st {};
    *exists = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return *exists ? st.st_size : 0;
}

}  // namespace

void GLIMRA_Log::rollLogFileIfNecessary(const std::string& path) {
    rollLogFile(path, std::string(), kRollThreshold);
}

void GLIMRA_Log::rollLogFile(const std::string& path, const std::string& targetPath, size_t size) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;
    if (static_cast<size_t>(st.st_size) < size) return;

    debug("Rolling log file.");

    std::string target = targetPath;
    if (target.empty()) {
        size_t dot;
        std::string ext = extensionOf(path, &dot);
        if (ext.empty()) ext = "log";
        target = (dot == std::string::npos ? path : path.substr(0, dot)) + "_old." + ext;
    }

    // The result is the old log followed by the current one, cut at a line
    // boundary to the cap. Only the part that can survive the cut is read,
    // so a huge current file never has to fit in memory.
    bool oldExists;
    const size_t oldLen = static_cast<size_t>(sizeOf(target, &oldExists));
    const size_t curLen = static_cast<size_t>(st.st_size);
    const size_t total = oldLen + curLen;
    size_t from = 0;  // first byte of the concatenation that is read
    if (total > kOldLogCap) from = total - kOldLogCap - 1;

    std::string combined;
    combined.reserve(total - from);
    bool readOk = true;
    if (from < oldLen)
        readOk = readRange(target, static_cast<off_t>(from), oldLen - from, combined);
    const size_t curFrom = from > oldLen ? from - oldLen : 0;
    if (readOk) readOk = readRange(path, static_cast<off_t>(curFrom), curLen - curFrom, combined);
    if (!readOk) {
        // Truncating now would throw away text that was never copied.
        debug(stringWithFormat("Error writing old log file to %s", target.c_str()));
        return;
    }

    if (total > kOldLogCap) {
        size_t nl = combined.find('\n');
        if (nl == std::string::npos)
            combined.clear();
        else
            combined.erase(0, nl + 1);
    }

    // Written beside the target and renamed into place, so a failure half way
    // (a full disk) leaves the previous old log whole.
    std::string why = writeFileAtomically(combined, target, kRolledLogFileMode);
    if (!why.empty()) {
        debug(stringWithFormat("Error writing old log file to %s", target.c_str()));
        // The current file keeps its text; it is rolled on a later start.
        return;
    }
    debug(stringWithFormat("Rolled previous log file into %s", target.c_str()));
    ::chmod(target.c_str(), kRolledLogFileMode);

    int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd >= 0) {
        debug(stringWithFormat("Starting new log file at %s", path.c_str()));
        ::close(fd);
    }
}

}  // namespace klik
