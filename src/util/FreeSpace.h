#pragma once
// Free room on a file system, as the host-capacity report to the camera
// needs it: a block size and the blocks an unprivileged writer may use.
//
// statvfs counts f_bavail in fragments of f_frsize bytes. f_bsize is only
// the preferred I/O size: NFS and SMB shares, FUSE file systems and some
// others report a much larger value there (often 1 MiB), so multiplying by
// it overstates the room many times over.
//
// Header only; pure; any thread.

#include <sys/statvfs.h>

#include <optional>
#include <string>

namespace klik {

struct FreeSpace {
    unsigned long blockSize = 0;
    unsigned long freeBlocks = 0;
    unsigned long long bytes() const {
        return static_cast<unsigned long long>(blockSize) * freeBlocks;
    }
};

inline FreeSpace freeSpaceFromStatvfs(const struct statvfs& st) {
    // A file system that leaves f_frsize at 0 (old kernels) means f_bsize.
    return FreeSpace{st.f_frsize != 0 ? st.f_frsize : st.f_bsize, st.f_bavail};
}

// The free room of the file system holding `path`; nullopt when it cannot
// be read.
inline std::optional<FreeSpace> freeSpaceAtPath(const std::string& path) {
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) != 0) return std::nullopt;
    return freeSpaceFromStatvfs(st);
}

}  // namespace klik
