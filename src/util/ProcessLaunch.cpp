#include "util/ProcessLaunch.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <thread>

extern char** environ;

namespace klik {

namespace {

// An argument or environment vector for exec: the strings and the
// null-terminated pointers into them.
class CStringVector {
  public:
    explicit CStringVector(std::vector<std::string> strings) : strings_(std::move(strings)) {
        for (auto& s : strings_) pointers_.push_back(s.data());
        pointers_.push_back(nullptr);
    }
    char** data() { return pointers_.data(); }

  private:
    std::vector<std::string> strings_;
    std::vector<char*> pointers_;
};

CStringVector argumentVector(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    return CStringVector(std::move(all));
}

// This process's environment with `changes` applied.
CStringVector environmentWith(
    const std::vector<std::pair<std::string, std::optional<std::string>>>& changes) {
    std::vector<std::string> entries;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool changed = false;
        for (const auto& [n, v] : changes) changed = changed || n == name;
        if (!changed) entries.push_back(entry);
    }
    for (const auto& [name, value] : changes)
        if (value) entries.push_back(name + "=" + *value);
    return CStringVector(std::move(entries));
}

}  // namespace

std::optional<pid_t> launchDetached(const std::string& program,
                                    const std::vector<std::string>& args, std::string* error) {
    CStringVector argv = argumentVector(program, args);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    // Its own process group: a signal meant for the kiosk (Ctrl-C in a
    // terminal) does not also kill the program that restarts it.
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv.data(), environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        if (error) *error = std::strerror(rc);
        return std::nullopt;
    }
    std::thread([pid] {
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return pid;
}

int runAndWait(const std::string& program, const std::vector<std::string>& args,
               const RunOptions& options, std::string* error) {
    CStringVector argv = argumentVector(program, args);
    CStringVector envp = environmentWith(options.environment);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const int flags = O_WRONLY | O_CREAT | O_TRUNC;
    if (!options.standardOutput.empty())
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, options.standardOutput.c_str(),
                                         flags, 0644);
    if (!options.standardError.empty())
        posix_spawn_file_actions_addopen(&files, STDERR_FILENO, options.standardError.c_str(),
                                         flags, 0644);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) {
        if (error) *error = program + ": " + std::strerror(rc);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno == EINTR) continue;
        if (error) *error = std::string("waiting for ") + program + ": " + std::strerror(errno);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string executableFolder() {
    std::error_code ec;
    auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return {};
    return p.parent_path().string();
}

}  // namespace klik
