#include "share/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>

extern char** environ;

namespace klik::share {

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
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_adddup2(&fa, err[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
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
