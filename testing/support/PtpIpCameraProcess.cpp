#include "support/PtpIpCameraProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

extern char** environ;

namespace klik::test {

PtpIpCameraProcess::PtpIpCameraProcess() = default;

PtpIpCameraProcess::~PtpIpCameraProcess() {
    stop();
}

std::string PtpIpCameraProcess::defaultProgram() {
    return KLIK_PTPIP_CAMERA_PATH;
}

bool PtpIpCameraProcess::absentOnPurpose() {
    const char* optOut = std::getenv("KLIK_NO_PTPIP_CAMERA");
    return optOut && std::string(optOut) == "1" && ::access(defaultProgram().c_str(), X_OK) != 0;
}

bool PtpIpCameraProcess::start(const std::vector<std::string>& args, const std::string& faultsPlist,
                               std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        stop();
        return false;
    };
    std::vector<std::string> argv = {defaultProgram(), "--listen", "127.0.0.1:0", "--store",
                                     dir_.path() + "/card"};
    if (!faultsPlist.empty()) {
        writeFile(dir_.file("faults.plist"), faultsPlist);
        argv.push_back("--faults");
        argv.push_back(dir_.file("faults.plist"));
    }
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> cargv;
    for (auto& a : argv) cargv.push_back(a.data());
    cargv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return fail("pipe failed");
    const pid_t parent = ::getpid();
    pid_ = ::fork();
    if (pid_ == 0) {
        // Only async-signal-safe calls until exec. The camera dies with the
        // thread that started it, so a test program that aborts (an assertion
        // in a library, a sanitizer's report) leaves no camera behind.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        // The child has one thread: the process-wide mask is its own.
        ::sigprocmask(SIG_SETMASK, &none, nullptr);  // NOLINT(concurrency-mt-unsafe)
        ::dup2(out[1], 1);
        const int in = ::open("/dev/null", O_RDONLY);
        if (in > 0) {
            ::dup2(in, 0);
            ::close(in);
        }
        ::execve(cargv[0], cargv.data(), environ);
        ::_exit(127);
    }
    const int forkError = errno;
    ::close(out[1]);
    if (pid_ < 0) {
        ::close(out[0]);
        pid_ = -1;
        return fail("cannot start " + argv[0] + ": " + std::generic_category().message(forkError));
    }
    // Its one line on standard output says where it listens.
    std::string line;
    while (line.find('\n') == std::string::npos) {
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, 20000) <= 0) break;
        char buf[256];
        const ssize_t n = ::read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        line.append(buf, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const std::string prefix = "listening on 127.0.0.1:";
    if (line.rfind(prefix, 0) != 0) return fail("the camera did not come up: \"" + line + "\"");
    port_ = std::atoi(line.c_str() + prefix.size());
    if (port_ <= 0) return fail("no port in \"" + line + "\"");
    return true;
}

int PtpIpCameraProcess::stop() {
    if (pid_ <= 0) return -1;
    // Asked to end; one that does not within the grace time is killed, so
    // no camera outlives its test.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    ::kill(pid_, SIGTERM);
    bool ended = pidfd < 0;  // without a pidfd: waited for below
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        int rc;
        while ((rc = ::poll(&p, 1, 10000)) < 0 && errno == EINTR) {
        }
        ended = rc > 0;
        ::close(pidfd);
    }
    if (!ended) ::kill(pid_, SIGKILL);
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
}

std::string PtpIpCameraProcess::gphotoPort() const {
    const std::string p = std::to_string(port_);
    return "ptpip:127.0.0.1:" + p + ":" + p;
}

std::string PtpIpCameraProcess::photoOnCard(const std::string& name) const {
    return readFile(cardFolder() + "/" + name);
}

void PtpIpCameraProcess::vanish() {
    if (pid_ > 0) ::kill(pid_, SIGUSR1);
}

void PtpIpCameraProcess::comeBack() {
    if (pid_ > 0) ::kill(pid_, SIGUSR2);
}

}  // namespace klik::test
