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

}  // namespace klik
