#include "WebServerProcess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

namespace klik::test {

bool WebServerProcess::start(const std::string& logPath, const std::vector<std::string>& args,
                             std::string* error) {
    logPath_ = logPath;
    const std::string outPath = logPath + ".out";
    pid_ = fork();
    if (pid_ == 0) {
        if (!freopen(outPath.c_str(), "w", stdout)) _exit(126);
        std::vector<std::string> all{KLIK_WEBSERVER_PATH, "--port", "0", "--log", logPath};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(KLIK_WEBSERVER_PATH, argv.data());
        _exit(127);
    }
    // The first line of its output says where it listens. The bound is for a
    // server that never answers: a sanitizer build on a loaded machine has
    // taken more than 10 s to get there.
    std::string line;
    std::string ended;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(outPath);
        // A whole first line (the server flushes it with its newline).
        if (std::getline(in, line) && !in.eof() && line.find("listening on ") != std::string::npos)
            break;
        line.clear();
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            ended = WIFEXITED(status)
                        ? " (it exited with " + std::to_string(WEXITSTATUS(status)) + ")"
                        : " (it ended by signal " + std::to_string(WTERMSIG(status)) + ")";
            break;
        }
        usleep(20000);
    }
    const std::string marker = "listening on ";
    const size_t at = line.find(marker);
    if (at == std::string::npos) {
        *error = "klik-webserver did not start: [" + line + "]" +
                 (ended.empty() ? std::string(" within 90 s") : ended);
        return false;
    }
    base_ = line.substr(at + marker.size());
    const size_t colon = base_.rfind(':');
    port_ = std::stoi(base_.substr(colon + 1));
    return true;
}

WebServerProcess::~WebServerProcess() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
}

std::vector<std::string> WebServerProcess::logLines(const std::string& needle) const {
    std::vector<std::string> out;
    std::ifstream in(logPath_);
    std::string line;
    while (std::getline(in, line))
        if (line.find(needle) != std::string::npos) out.push_back(line);
    return out;
}

}  // namespace klik::test
