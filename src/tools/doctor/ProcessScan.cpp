#include "tools/doctor/ProcessScan.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace klik::doctor {

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// argv[0]'s file name; the kernel's short name when the command line is
// empty (kernel threads, zombies).
std::string programName(pid_t pid) {
    const std::string base = "/proc/" + std::to_string(pid);
    std::string argv0 = readWhole(base + "/cmdline");
    argv0 = argv0.substr(0, argv0.find('\0'));
    if (argv0.empty()) {
        argv0 = readWhole(base + "/comm");
        while (!argv0.empty() && argv0.back() == '\n') argv0.pop_back();
    }
    const auto slash = argv0.rfind('/');
    return slash == std::string::npos ? argv0 : argv0.substr(slash + 1);
}

void forEachProcess(const std::function<void(pid_t)>& visit) {
    DIR* d = ::opendir("/proc");
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        char* end = nullptr;
        const long pid = std::strtol(e->d_name, &end, 10);
        if (pid > 0 && end && *end == '\0') visit(pid_t(pid));
    }
    ::closedir(d);
}

uid_t ownerOf(pid_t pid) {
    struct stat st {};
    return ::stat(("/proc/" + std::to_string(pid)).c_str(), &st) == 0 ? st.st_uid : uid_t(-1);
}

}  // namespace

std::vector<ProcessInfo> processesHolding(const std::string& path) {
    std::vector<ProcessInfo> out;
    const pid_t self = ::getpid();
    forEachProcess([&](pid_t pid) {
        if (pid == self) return;
        const std::string fdDir = "/proc/" + std::to_string(pid) + "/fd";
        DIR* d = ::opendir(fdDir.c_str());
        if (!d) return;
        bool holds = false;
        char target[4096];
        while (dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const ssize_t n = ::readlink((fdDir + "/" + e->d_name).c_str(), target, sizeof target);
            if (n > 0 && std::string(target, size_t(n)) == path) {
                holds = true;
                break;
            }
        }
        ::closedir(d);
        if (holds) out.push_back({pid, programName(pid), ownerOf(pid)});
    });
    return out;
}

std::vector<ProcessInfo> processesNamed(const std::string& name, std::optional<uid_t> uid) {
    std::vector<ProcessInfo> out;
    forEachProcess([&](pid_t pid) {
        const uid_t owner = ownerOf(pid);
        if (uid && owner != *uid) return;
        if (programName(pid) == name) out.push_back({pid, name, owner});
    });
    return out;
}

}  // namespace klik::doctor
