#include "share/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>

extern char** environ;

namespace klik::share {

pid_t startChild(const std::vector<std::string>& args, int outFd, int errFd,
                 const std::vector<std::string>& extraEnvironment) {
    if (args.empty()) return -1;
    // The program's path is found before forking: the child only calls
    // what is safe between fork and exec.
    std::string program = args[0];
    if (program.find('/') == std::string::npos) {
        const char* path = std::getenv("PATH");
        std::string dirs = path ? path : "/usr/bin:/bin";
        size_t at = 0;
        while (at <= dirs.size()) {
            auto colon = dirs.find(':', at);
            if (colon == std::string::npos) colon = dirs.size();
            const std::string candidate = dirs.substr(at, colon - at) + "/" + args[0];
            if (::access(candidate.c_str(), X_OK) == 0) {
                program = candidate;
                break;
            }
            at = colon + 1;
        }
    }
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    for (const auto& x : extraEnvironment) envStrings.push_back(x);
    std::vector<char*> envp;
    for (auto& x : envStrings) envp.push_back(x.data());
    envp.push_back(nullptr);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        // A helper never outlives the program that started it, even one
        // killed with SIGKILL: its work is then taken up by the next run.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(outFd, 1);
        ::dup2(errFd, 2);
        const int devnull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (devnull >= 0) ::dup2(devnull, 0);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    return pid;
}

ChildResult runChild(const std::vector<std::string>& args,
                     const std::function<bool()>& stopRequested) {
    ChildResult r;
    if (args.empty()) {
        r.startError = "no program";
        return r;
    }
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        r.startError = "cannot make a pipe";
        return r;
    }
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        r.startError = "cannot make a pipe";
        return r;
    }
    const pid_t pid = startChild(args, out[1], err[1]);
    const int rc = pid > 0 ? 0 : -1;
    ::close(out[1]);
    ::close(err[1]);
    if (rc != 0) {
        ::close(out[0]);
        ::close(err[0]);
        r.startError = "cannot start " + args[0];
        return r;
    }
    r.started = true;

    std::array<pollfd, 2> fds{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}}};
    int open = 2;
    std::array<char, 65536> buf{};
    bool termSent = false;
    auto termAt = std::chrono::steady_clock::now();
    while (open > 0) {
        const int n = ::poll(fds.data(), fds.size(), 100);
        if (n > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
                const ssize_t got = ::read(fds[i].fd, buf.data(), buf.size());
                if (got <= 0) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                    continue;
                }
                std::string& into = i == 0 ? r.output : r.errors;
                into.append(buf.data(), static_cast<size_t>(got));
                if (i == 0 && into.size() > (4u << 20)) into.resize(4u << 20);
                if (i == 1 && into.size() > 65536) into.erase(0, into.size() - 65536);
            }
        }
        if (!termSent && stopRequested && stopRequested()) {
            ::kill(pid, SIGTERM);
            termSent = true;
            r.stopped = true;
            termAt = std::chrono::steady_clock::now();
        } else if (termSent &&
                   std::chrono::steady_clock::now() - termAt > std::chrono::seconds(10)) {
            ::kill(pid, SIGKILL);
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    r.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

}  // namespace klik::share
