#include "PtpipCameraProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace klik::test {

std::string PtpipCameraProcess::program() {
#ifdef KLIK_PTPIP_CAMERA
    if (access(KLIK_PTPIP_CAMERA, X_OK) == 0) return KLIK_PTPIP_CAMERA;
#endif
    return {};
}

int freeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

bool PtpipCameraProcess::start(const std::string& faultsFile, std::string& error) {
    const std::string path = program();
    if (path.empty()) {
        error = "klik-ptpip-camera is not built";
        return false;
    }
    port_ = freeLoopbackPort();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
        error = "pipe failed";
        return false;
    }
    const std::string listen = "127.0.0.1:" + std::to_string(port_);
    std::vector<std::string> args{path, "--listen", listen};
    if (!faultsFile.empty()) {
        args.push_back("--faults");
        args.push_back(faultsFile);
    }
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], 1);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(out[1]);
    // Its first line says it accepts connections.
    std::string seen;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool up = false;
    while (!up && std::chrono::steady_clock::now() < deadline) {
        pollfd p{out[0], POLLIN, 0};
        if (poll(&p, 1, 200) <= 0) continue;
        char buf[256];
        const ssize_t n = read(out[0], buf, sizeof buf);
        if (n <= 0) break;
        seen.append(buf, static_cast<size_t>(n));
        up = seen.find("listening on " + listen) != std::string::npos;
    }
    // The rest of what it says is read and dropped, so it never blocks or
    // dies writing to a pipe nobody reads.
    const int fd = out[0];
    drain_ = std::thread([fd] {
        char buf[4096];
        while (read(fd, buf, sizeof buf) > 0) {
        }
        close(fd);
    });
    if (!up) {
        error = "klik-ptpip-camera did not come up (said: " + seen + ")";
        stop();
        return false;
    }
    return true;
}

void PtpipCameraProcess::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (drain_.joinable()) drain_.join();
}

void PtpipCameraProcess::kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    if (drain_.joinable()) drain_.join();
}

}  // namespace klik::test
