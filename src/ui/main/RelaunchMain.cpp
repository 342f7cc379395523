// klik-relaunch PATH PID FLAGS
//
// Waits for the process PID to end (0: do not wait), then becomes PATH.
// The kiosk starts it just before it quits, so a restart never finds the
// old kiosk still holding the camera or the windows. FLAGS are the launch
// flags of the request; on this platform they are only logged.
//
// Under the kiosk's systemd unit (which sets KLIK_SERVICE_UNIT to its name)
// the unit ends when the kiosk does and would take this helper with it, and
// a kiosk started by the helper would run outside the unit, unwatched. So
// there, when PATH is the kiosk's own program, the helper ignores the
// unit's stop signal, waits for the kiosk to end and asks the service
// manager to start the unit again; that start runs once the stop is done.

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

// The executable of process `pid`, resolved; "" when it cannot be read.
std::string executableOf(long pid) {
    char buf[4096];
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    const ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string resolved(const std::string& path) {
    char* r = realpath(path.c_str(), nullptr);
    if (!r) return {};
    std::string out = r;
    free(r);
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    const char* unitEnv = std::getenv("KLIK_SERVICE_UNIT");
    const std::string unit = unitEnv ? unitEnv : "";
    // First of all: the stop signal may come as soon as the kiosk has ended.
    if (!unit.empty()) signal(SIGTERM, SIG_IGN);
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf(
            "usage: klik-relaunch PATH PID FLAGS\n"
            "\n"
            "Waits for the process PID to end (0: do not wait), then becomes the program\n"
            "PATH. The kiosk starts it just before it quits, so a relaunched kiosk never\n"
            "finds the old one still holding the camera or the windows. FLAGS are the\n"
            "launch flags of the request (a number); they are only logged.\n");
        return 0;
    }
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
    // Is PATH the caller's own program? The caller's executable is read
    // first, as the caller is quitting; when it is already gone, the path is
    // taken for the kiosk's when it names klik-kiosk.
    const std::string target = resolved(path);
    const std::string caller = unit.empty() || pid <= 0 ? std::string() : executableOf(pid);
    const bool restartUnit =
        !unit.empty() && pid > 0 && !target.empty() &&
        (caller.empty() ? target.substr(target.rfind('/') + 1) == "klik-kiosk" : caller == target);
    say("path [" + path + "] pid [" + std::to_string(pid) + "] flags [" + std::to_string(flags) +
        "]");
    if (!unit.empty() && !restartUnit) signal(SIGTERM, SIG_DFL);
    if (pid > 0 && pid != getpid()) waitForExit(static_cast<pid_t>(pid));
    if (restartUnit) {
        say("asking systemd to start [" + unit + "] again");
        execlp("systemctl", "systemctl", "--user", "--no-block", "start", unit.c_str(),
               static_cast<char*>(nullptr));
        say("could not run systemctl: " + std::string(std::strerror(errno)));
        return 1;
    }
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    say("could not start [" + path + "]: " + std::strerror(errno));
    return 1;
}
