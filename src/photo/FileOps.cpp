#include "photo/FileOps.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "photo/FileNames.h"
#include "util/FilePermissions.h"

namespace klik {

namespace {
void setErr(std::string* e, const std::string& what, int code) {
    if (e) *e = what + ": " + std::strerror(code);
}
}  // namespace

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isReadableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), R_OK) == 0;
}

bool createFolderWithIntermediates(const std::string& path, unsigned mode, std::string* error,
                                   bool* created) {
    if (created) *created = false;
    if (path.empty()) {
        if (error) *error = "empty folder path";
        return false;
    }
    if (isDirectory(path)) return true;
    std::string partial;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        partial = path.substr(0, pos);
        if (partial.empty() || isDirectory(partial)) continue;
        if (::mkdir(partial.c_str(), 0700) != 0) {
            if (errno == EEXIST && isDirectory(partial)) continue;
            setErr(error, "cannot create folder " + partial, errno);
            return false;
        }
        if (!setPermission(partial, mode)) {
            if (error) *error = "cannot set permissions of " + partial;
            return false;
        }
        if (partial == path && created) *created = true;
    }
    return isDirectory(path);
}

bool copyFileNoReplace(const std::string& from, const std::string& to, std::string* error) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setErr(error, "cannot open " + from, errno);
        return false;
    }
    struct stat st {};
    ::fstat(in, &st);
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 0777);
    if (out < 0) {
        setErr(error, "cannot create " + to, errno);
        ::close(in);
        return false;
    }
    std::vector<char> buf(1 << 20);
    bool ok = true;
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            setErr(error, "cannot read " + from, errno);
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                setErr(error, "cannot write " + to, errno);
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok) break;
    }
    if (ok && ::fsync(out) != 0) {
        setErr(error, "cannot sync " + to, errno);
        ok = false;
    }
    ::close(out);
    ::close(in);
    if (!ok) ::unlink(to.c_str());
    return ok;
}

bool moveItemNoReplace(const std::string& from, const std::string& to, std::string* error) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    const int rc = errno;
    if (rc == EEXIST || rc == ENOENT) {
        setErr(error, "cannot move " + from + " to " + to, rc);
        return false;
    }
    if (rc == EINVAL || rc == ENOSYS) {
        // The file system cannot refuse a replace in rename; a hard link
        // does refuse, and then the source name is dropped.
        if (::link(from.c_str(), to.c_str()) == 0) {
            ::unlink(from.c_str());
            return true;
        }
        if (errno != EXDEV && errno != EPERM) {
            setErr(error, "cannot move " + from + " to " + to, errno);
            return false;
        }
    } else if (rc != EXDEV) {
        setErr(error, "cannot move " + from + " to " + to, rc);
        return false;
    }
    // Another file system: copy beside the target, then link into place.
    const std::string dir = to.substr(0, to.rfind('/') == std::string::npos ? 0 : to.rfind('/'));
    const std::string temp =
        joinPath(dir.empty() ? "." : dir,
                 ".klik-move-" + std::to_string(::getpid()) + "-" + lastPathComponent(to));
    ::unlink(temp.c_str());
    if (!copyFileNoReplace(from, temp, error)) return false;
    if (::link(temp.c_str(), to.c_str()) != 0) {
        setErr(error, "cannot move " + from + " to " + to, errno);
        ::unlink(temp.c_str());
        return false;
    }
    ::unlink(temp.c_str());
    if (::unlink(from.c_str()) != 0) setErr(error, "moved, but cannot remove " + from, errno);
    return true;
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

std::string pathOfUrlOrPath(const std::string& s) {
    return s.rfind("file://", 0) == 0 ? pathOfFileUrl(s) : s;
}

}  // namespace klik
