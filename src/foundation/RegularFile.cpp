#include "foundation/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace klik {

FileReadResult readRegularFile(const std::string& path, std::size_t maxBytes) {
    FileReadResult r;
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        r.error = "cannot open " + path + ": " + std::strerror(errno);
        return r;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        r.error = "cannot examine " + path + ": " + std::strerror(errno);
        ::close(fd);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = path + " is not a regular file";
        ::close(fd);
        return r;
    }
    if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) > maxBytes) {
        r.error = path + " is too large (" + std::to_string(st.st_size) + " bytes, at most " +
                  std::to_string(maxBytes) + ")";
        ::close(fd);
        return r;
    }
    r.bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t off = 0;
    while (off < r.bytes.size()) {
        ssize_t n = ::read(fd, r.bytes.data() + off, r.bytes.size() - off);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            r.error = "cannot read " + path + ": " + std::strerror(errno);
            ::close(fd);
            r.bytes.clear();
            return r;
        }
        if (n == 0) break;  // the file shrank while we read it
        off += static_cast<std::size_t>(n);
    }
    r.bytes.resize(off);
    ::close(fd);
    r.ok = true;
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

}  // namespace klik
