// klik-relaunch PATH PID FLAGS
//
// Waits for the process PID to end (0: do not wait), then becomes PATH.
// The kiosk starts it just before it quits, so a restart never finds the
// old kiosk still holding the camera or the windows. FLAGS are the launch
// flags of the request; on this platform they are only logged.

#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void say(const std::string& text) {
    std::fprintf(stderr, "klik-relaunch: %s\n", text.c_str());
}

bool parsePid(const char* text, long* out) {
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || !end || *end || v < 0) return false;
    *out = v;
    return true;
}

// Blocks until `pid` has ended. A pidfd wakes exactly at its end; kernels
// without one are polled.
void waitForExit(pid_t pid) {
#ifdef SYS_pidfd_open
    const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        while (poll(&p, 1, -1) < 0 && errno == EINTR) {
        }
        close(fd);
        return;
    }
    if (errno == ESRCH) return;  // already gone
#endif
    while (kill(pid, 0) == 0 || errno == EPERM) usleep(100 * 1000);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        say("usage: klik-relaunch PATH PID FLAGS");
        return 2;
    }
    const std::string path = argv[1];
    long pid = 0, flags = 0;
    if (path.empty() || !parsePid(argv[2], &pid) || !parsePid(argv[3], &flags)) {
        say("usage: klik-relaunch PATH PID FLAGS (PID and FLAGS are numbers)");
        return 2;
    }
    say("path [" + path + "] pid [" + std::to_string(pid) + "] flags [" + std::to_string(flags) +
        "]");
    if (pid > 0 && pid != getpid()) waitForExit(static_cast<pid_t>(pid));
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    say("could not start [" + path + "]: " + std::strerror(errno));
    return 1;
}
