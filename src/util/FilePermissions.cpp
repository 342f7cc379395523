#include "util/FilePermissions.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>

#include "log/Log.h"

namespace klik {

bool setPermission(const std::string& path, unsigned mode) {
    // Linux paths are byte strings, so there is no encoding step: the bytes
    // given are the bytes the kernel sees.
    return setPermissionInC(path.c_str(), mode);
}

bool setPermissionInC(const char* path, unsigned mode) {
    if (path == nullptr) return false;
    struct stat st {};
    if (::stat(path, &st) != 0) {
        std::printf("\nsetPermission => Unable to get info on itemPath = [%s]!!!\n", path);
        std::fflush(stdout);
        GLIMRA_Log::errf("setPermission => Unable to get info on itemPath = [%s]", path);
        return false;
    }
    const mode_t newMode = (st.st_mode & 07000) | (static_cast<mode_t>(mode) & 0777);
    if (::chmod(path, newMode) != 0) {
        const int rc = errno;
        std::printf(
            "setPermission => chmod newFolderMode FAILED with errorCode = [%i] = [0x%04x]\n", rc,
            static_cast<unsigned>(rc));
        std::fflush(stdout);
        GLIMRA_Log::errf("setPermission => chmod [%s] FAILED with errorCode = [%i] = [0x%04x]",
                         path, rc, static_cast<unsigned>(rc));
        return false;
    }
    return true;
}

int trySetPermission(const std::string& path, unsigned mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    const mode_t newMode = (st.st_mode & 07000) | (static_cast<mode_t>(mode) & 0777);
    if ((st.st_mode & 07777) == newMode) return 0;
    return ::chmod(path.c_str(), newMode) == 0 ? 0 : errno;
}

bool isPermissionChangeUnsupported(int errorCode) {
    return errorCode == ENOSYS || errorCode == EPERM || errorCode == ENOTSUP ||
           errorCode == EOPNOTSUPP;
}

}  // namespace klik
