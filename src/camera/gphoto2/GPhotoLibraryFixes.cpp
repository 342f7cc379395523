#include "camera/gphoto2/GPhotoLibraryFixes.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace klik::GPhotoLibraryFixes {

void keepStandardInput(const std::function<void()>& fn) {
    struct stat before {};
    const bool open = fstat(0, &before) == 0;
    const int saved = open ? fcntl(0, F_DUPFD_CLOEXEC, 3) : -1;
    fn();
    if (saved < 0) return;
    struct stat after {};
    if (fstat(0, &after) != 0 && errno == EBADF) dup2(saved, 0);
    close(saved);
}

std::set<int> openSockets() {
    std::set<int> out;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return out;
    while (dirent* e = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(e->d_name, &end, 10);
        if (!end || *end || fd < 0 || fd == dirfd(dir)) continue;
        struct stat st {};
        if (fstat(static_cast<int>(fd), &st) == 0 && S_ISSOCK(st.st_mode))
            out.insert(static_cast<int>(fd));
    }
    closedir(dir);
    return out;
}

int closeLeakedSockets(const std::set<int>& before, const std::string& host, int port) {
    in_addr want{};
    if (inet_pton(AF_INET, host.c_str(), &want) != 1) return 0;
    int closed = 0;
    for (int fd : openSockets()) {
        if (before.count(fd)) continue;
        int domain = 0, type = 0;
        socklen_t len = sizeof domain;
        if (getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &len) != 0 || domain != AF_INET)
            continue;
        len = sizeof type;
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &len) != 0 || type != SOCK_STREAM) continue;
        sockaddr_in peer{};
        len = sizeof peer;
        bool leaked = false;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &len) == 0) {
            leaked = peer.sin_addr.s_addr == want.s_addr && ntohs(peer.sin_port) == port;
        } else if (errno == ENOTCONN) {
            // Never connected, or its connection refused: unbound ones only,
            // so another thread's connection under way is left alone.
            sockaddr_in self{};
            len = sizeof self;
            leaked = getsockname(fd, reinterpret_cast<sockaddr*>(&self), &len) == 0 &&
                     self.sin_port == 0;
        }
        if (leaked && close(fd) == 0) ++closed;
    }
    return closed;
}

}  // namespace klik::GPhotoLibraryFixes
