#include "ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <fstream>
#include <regex>

extern char** environ;

namespace klik::test {

namespace {

std::vector<char*> environmentWith(const std::vector<std::string>& env,
                                   std::vector<std::string>& storage) {
    storage.clear();
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const auto& x : env) replaced = replaced || x.substr(0, x.find('=')) == name;
        if (!replaced) storage.push_back(entry);
    }
    for (const auto& x : env) storage.push_back(x);
    std::vector<char*> out;
    for (auto& s : storage) out.push_back(s.data());
    out.push_back(nullptr);
    return out;
}

pid_t spawn(const std::vector<std::string>& args, const std::vector<std::string>& env, int outFd,
            int errFd, const std::string& workingDirectory = "") {
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&fa, workingDirectory.c_str());
    posix_spawn_file_actions_adddup2(&fa, outFd, 1);
    posix_spawn_file_actions_adddup2(&fa, errFd, 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> storage;
    auto envp = environmentWith(env, storage);
    pid_t pid = -1;
    const int rc = ::posix_spawnp(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

}  // namespace

ServerProcess::~ServerProcess() {
    if (pid_ > 0) stop();
}

bool ServerProcess::start(const std::vector<std::string>& args, const std::vector<std::string>& env,
                          const std::string& ready, const std::string& logPath,
                          std::string* error) {
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) return false;
    pid_ = spawn(args, env, p[1], p[1]);
    ::close(p[1]);
    if (pid_ <= 0) {
        ::close(p[0]);
        if (error) *error = "cannot start " + args[0];
        return false;
    }
    out_ = p[0];
    const std::regex pattern(ready);
    std::string seen;
    std::array<char, 4096> buf{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    bool found = false;
    while (!found && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{out_, POLLIN, 0};
        if (::poll(&fd, 1, 1000) <= 0) continue;
        const ssize_t n = ::read(out_, buf.data(), buf.size());
        if (n <= 0) break;
        seen.append(buf.data(), static_cast<size_t>(n));
        std::smatch m;
        if (std::regex_search(seen, m, pattern)) {
            found = true;
            if (m.size() > 1) match_ = m[1].str();
        }
    }
    {
        std::ofstream log(logPath, std::ios::app);
        log << seen;
    }
    // The rest of its output goes to the log, so the server never blocks
    // on a full pipe.
    drain_ = std::thread([fd = out_, logPath] {
        std::array<char, 4096> b{};
        std::ofstream log(logPath, std::ios::app);
        ssize_t n;
        while ((n = ::read(fd, b.data(), b.size())) > 0) {
            log.write(b.data(), n);
            log.flush();
        }
    });
    if (!found) {
        if (error) *error = "not ready: " + seen;
        stop();
        return false;
    }
    return true;
}

int ServerProcess::end(int signal) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, signal);
    int status = 0;
    // The child's end, waited for through a descriptor of the process.
    const int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    if (pidfd >= 0) {
        pollfd p{pidfd, POLLIN, 0};
        ::poll(&p, 1, 10000);
        ::close(pidfd);
    }
    if (::waitpid(pid_, &status, WNOHANG) == 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    if (drain_.joinable()) drain_.join();
    if (out_ >= 0) ::close(out_);
    out_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ProgramResult runProgram(const std::vector<std::string>& args, const std::vector<std::string>& env,
                         const std::string& workingDirectory) {
    ProgramResult r;
    int out[2], err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return r;
    const pid_t pid = spawn(args, env, out[1], err[1], workingDirectory);
    ::close(out[1]);
    ::close(err[1]);
    std::array<pollfd, 2> fds{{{out[0], POLLIN, 0}, {err[0], POLLIN, 0}}};
    std::array<char, 65536> buf{};
    int open = 2;
    while (pid > 0 && open > 0) {
        if (::poll(fds.data(), 2, -1) <= 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !fds[i].revents) continue;
            const ssize_t n = ::read(fds[i].fd, buf.data(), buf.size());
            if (n <= 0) {
                fds[i].fd = -1;
                --open;
            } else {
                (i == 0 ? r.out : r.err).append(buf.data(), static_cast<size_t>(n));
            }
        }
    }
    ::close(out[0]);
    ::close(err[0]);
    if (pid <= 0) return r;
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

int freeLoopbackPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = -1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(s);
    return port;
}

}  // namespace klik::test
