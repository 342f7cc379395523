#include "foundation/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace klik {

namespace {

// The one reading of a whole file (or its first `maxBytes` when `prefix`)
// into any byte buffer with resize() and data(), so a caller that wants the
// bytes as Data does not read them into a string and copy them over.
template <typename Buffer>
bool readInto(const std::string& path, std::size_t maxBytes, bool prefix, Buffer& bytes,
              std::string& error) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        error = "cannot open " + path + ": " + std::generic_category().message(code);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int code = errno;
        error = "cannot examine " + path + ": " + std::generic_category().message(code);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
        ::close(fd);
        return false;
    }
    if (st.st_size < 0 || (!prefix && static_cast<std::size_t>(st.st_size) > maxBytes)) {
        error = path + " is too large (" + std::to_string(st.st_size) + " bytes, at most " +
                std::to_string(maxBytes) + ")";
        ::close(fd);
        return false;
    }
    bytes.resize(std::min(static_cast<std::size_t>(st.st_size), maxBytes));
    std::size_t off = 0;
    while (off < bytes.size()) {
        ssize_t n = ::read(fd, bytes.data() + off, bytes.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int code = errno;
            error = "cannot read " + path + ": " + std::generic_category().message(code);
            ::close(fd);
            bytes.clear();
            return false;
        }
        if (n == 0) break;  // the file shrank while we read it
        off += static_cast<std::size_t>(n);
    }
    bytes.resize(off);
    ::close(fd);
    return true;
}

}  // namespace

FileReadResult readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileReadResult r;
    r.ok = readInto(path, maxBytes, false, r.bytes, r.error);
    return r;
}

bool isReadableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

std::string pathOfFileUrl(const std::string& url) {
    if (url.rfind("file://", 0) != 0) return {};
    std::string p = url.substr(7);
    if (p.rfind("localhost/", 0) == 0) p = p.substr(9);
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < p.size(); ++i) {
        if (p[i] != '%') {
            out += p[i];
            continue;
        }
        int hi = i + 2 < p.size() ? hex(p[i + 1]) : -1;
        int lo = i + 2 < p.size() ? hex(p[i + 2]) : -1;
        if (hi < 0 || lo < 0 || (hi == 0 && lo == 0)) return {};
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

bool readRegularFileBytes(const std::string& path, std::size_t maxBytes,
                          std::vector<std::uint8_t>& bytes, std::string* error) {
    std::string why;
    if (readInto(path, maxBytes, false, bytes, why)) return true;
    if (error) *error = why;
    return false;
}

bool readRegularFilePrefix(const std::string& path, std::size_t maxBytes,
                           std::vector<std::uint8_t>& bytes, std::string* error) {
    std::string why;
    if (readInto(path, maxBytes, true, bytes, why)) return true;
    if (error) *error = why;
    return false;
}

}  // namespace klik
