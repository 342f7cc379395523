#include "photo/FileOps.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

#include "log/Log.h"
#include "photo/FileNames.h"
#include "util/FilePermissions.h"

namespace klik {

namespace {
void setErr(std::string* e, const std::string& what, int code) {
    if (e) *e = what + ": " + std::generic_category().message(code);
}
}  // namespace

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
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
        if (const int rc = trySetPermission(partial, mode); rc != 0) {
            if (!isPermissionChangeUnsupported(rc)) {
                setErr(error, "cannot set permissions of " + partial, rc);
                return false;
            }
            // FAT and many shares keep no Unix permissions: the folder is
            // there and usable, with whatever access the mount grants.
            GLIMRA_Log::debug("the file system of " + partial + " keeps no permissions (" +
                              std::generic_category().message(rc) + "); folder used as is");
        }
        if (partial == path && created) *created = true;
    }
    return isDirectory(path);
}

namespace {

std::string parentOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A folder's entry for a new name is durable only once the folder is synced.
void syncFolder(const std::string& dir) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // some file systems refuse it for folders; the data is synced already
    ::close(fd);
}

// errno values with which a file system says it cannot do the operation at
// all (as opposed to: not with these files).
bool unsupported(int code) {
    return code == EINVAL || code == ENOSYS || code == ENOTSUP || code == EOPNOTSUPP ||
           code == EPERM || code == EMLINK;
}

enum class Placed { Done, Exists, CrossDevice, Failed };

// Renames `from` to `to` on one file system without replacing `to`:
// RENAME_NOREPLACE, else a hard link, else a reservation of `to` made with
// O_EXCL and a rename over it. `code` gets the errno of a failure.
Placed renameNoReplace(const std::string& from, const std::string& to, int& code) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return Placed::Done;
    code = errno;
    if (code == EEXIST) return Placed::Exists;
    if (code == EXDEV) return Placed::CrossDevice;
    if (!unsupported(code)) return Placed::Failed;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return Placed::Done;
    }
    code = errno;
    if (code == EEXIST) return Placed::Exists;
    if (code == EXDEV) return Placed::CrossDevice;
    if (!unsupported(code)) return Placed::Failed;
    const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        code = errno;
        return code == EEXIST ? Placed::Exists : Placed::Failed;
    }
    ::close(fd);
    if (::rename(from.c_str(), to.c_str()) == 0) return Placed::Done;
    code = errno;
    ::unlink(to.c_str());  // our own empty reservation
    return code == EXDEV ? Placed::CrossDevice : Placed::Failed;
}

// A new temporary file beside `to`; -1 with `code` set when none can be made.
int openTempBeside(const std::string& to, unsigned mode, std::string& tempPath, int& code) {
    static std::atomic<unsigned> counter{0};
    for (int tries = 0; tries < 100; ++tries) {
        tempPath = joinPath(parentOf(to), ".klik-" + std::to_string(::getpid()) + "-" +
                                              std::to_string(counter++) + ".part");
        const int fd =
            ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 0777);
        if (fd >= 0) return fd;
        code = errno;
        if (code != EEXIST) return -1;
    }
    return -1;
}

bool writeAll(int fd, const char* p, size_t n, int& code) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            code = errno;
            return false;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

// Copies the rest of `in` to `out`: in the kernel (copy_file_range, which
// may clone or hand the copy to the server; then sendfile), else through a
// buffer. `readFailed` tells which side failed.
bool copyData(int in, int out, int& code, bool& readFailed) {
    readFailed = false;
    for (;;) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (n > 0) continue;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EXDEV || unsupported(errno) || errno == EBADF) break;
        code = errno;
        return false;
    }
    for (;;) {
        const ssize_t n = ::sendfile(out, in, nullptr, 1 << 30);
        if (n > 0) continue;
        if (n == 0) return true;
        if (errno == EINTR) continue;
        if (unsupported(errno)) break;
        code = errno;
        return false;
    }
    std::vector<char> buf(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            code = errno;
            readFailed = true;
            return false;
        }
        if (!writeAll(out, buf.data(), static_cast<size_t>(n), code)) return false;
    }
}

// Syncs and closes `fd`, then puts `temp` at `to` without replacing; the
// temporary file is gone afterwards whatever happens.
bool finishNoReplace(int fd, const std::string& temp, const std::string& to, std::string* error,
                     bool* exists) {
    if (::fsync(fd) != 0) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        setErr(error, "cannot sync " + temp, code);
        return false;
    }
    if (::close(fd) != 0) {
        const int code = errno;
        ::unlink(temp.c_str());
        setErr(error, "cannot write " + temp, code);
        return false;
    }
    int code = 0;
    switch (renameNoReplace(temp, to, code)) {
        case Placed::Done:
            syncFolder(parentOf(to));
            return true;
        case Placed::Exists:
            if (exists) *exists = true;
            break;
        case Placed::CrossDevice:
        case Placed::Failed:
            break;
    }
    ::unlink(temp.c_str());
    setErr(error, "cannot put the new file at " + to, code);
    return false;
}

bool refuseExisting(const std::string& to, std::string* error, bool* exists) {
    if (!pathExists(to)) return false;
    if (exists) *exists = true;
    setErr(error, "cannot create " + to, EEXIST);
    return true;
}

}  // namespace

bool copyFileNoReplace(const std::string& from, const std::string& to, std::string* error,
                       bool* exists) {
    if (exists) *exists = false;
    if (refuseExisting(to, error, exists)) return false;
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        setErr(error, "cannot open " + from, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        if (error) *error = "cannot copy " + from + ": not a regular file";
        return false;
    }
    std::string temp;
    int code = 0;
    const int out = openTempBeside(to, (st.st_mode & 0777) | 0600, temp, code);
    if (out < 0) {
        ::close(in);
        setErr(error, "cannot create a file beside " + to, code);
        return false;
    }
    bool readFailed = false;
    const bool copied = copyData(in, out, code, readFailed);
    ::close(in);
    if (!copied) {
        ::close(out);
        ::unlink(temp.c_str());
        setErr(error, readFailed ? "cannot read " + from : "cannot write " + temp, code);
        return false;
    }
    return finishNoReplace(out, temp, to, error, exists);
}

bool writeFileNoReplace(std::string_view bytes, const std::string& to, std::string* error,
                        bool* exists) {
    if (exists) *exists = false;
    if (refuseExisting(to, error, exists)) return false;
    std::string temp;
    int code = 0;
    const int out = openTempBeside(to, 0644, temp, code);
    if (out < 0) {
        setErr(error, "cannot create a file beside " + to, code);
        return false;
    }
    if (!writeAll(out, bytes.data(), bytes.size(), code)) {
        ::close(out);
        ::unlink(temp.c_str());
        setErr(error, "cannot write " + temp, code);
        return false;
    }
    return finishNoReplace(out, temp, to, error, exists);
}

bool moveItemNoReplace(const std::string& from, const std::string& to, std::string* error,
                       bool* exists) {
    if (exists) *exists = false;
    int code = 0;
    switch (renameNoReplace(from, to, code)) {
        case Placed::Done:
            syncFolder(parentOf(to));
            return true;
        case Placed::Exists:
            if (exists) *exists = true;
            setErr(error, "cannot move " + from + " to " + to, code);
            return false;
        case Placed::Failed:
            setErr(error, "cannot move " + from + " to " + to, code);
            return false;
        case Placed::CrossDevice:
            break;
    }
    // Another file system: the source stays until the copy is durable.
    if (!copyFileNoReplace(from, to, error, exists)) return false;
    if (::unlink(from.c_str()) != 0) setErr(error, "moved, but cannot remove " + from, errno);
    return true;
}

std::string pathOfUrlOrPath(const std::string& s) {
    return s.rfind("file://", 0) == 0 ? pathOfFileUrl(s) : s;
}

}  // namespace klik
