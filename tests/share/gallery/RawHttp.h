#pragma once
// A plain HTTP/1.1 client for the gallery's tests: it sends exactly the
// bytes it is given (so malformed and hostile requests reach the server as
// written) and reads the whole answer. Blocking, with a deadline.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <map>
#include <string>

#include "../ServerProcess.h"

namespace klik::test {

struct RawAnswer {
    int status = 0;  // 0: no answer (connection refused, reset or timed out)
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
    std::string raw;
    std::string header(const std::string& name) const {
        auto it = headers.find(name);
        return it == headers.end() ? std::string() : it->second;
    }
};

inline int connectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

inline bool sendAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Reads until the peer closes or `timeout` passes.
inline std::string readAll(int fd, std::chrono::milliseconds timeout) {
    std::string out;
    const auto end = std::chrono::steady_clock::now() + timeout;
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              end - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

inline RawAnswer parseAnswer(const std::string& raw) {
    RawAnswer a;
    a.raw = raw;
    const size_t headEnd = raw.find("\r\n\r\n");
    if (raw.rfind("HTTP/1.1 ", 0) != 0 || headEnd == std::string::npos) return a;
    a.status = std::atoi(raw.c_str() + 9);
    size_t pos = raw.find("\r\n") + 2;
    while (pos < headEnd) {
        const size_t eol = raw.find("\r\n", pos);
        const std::string line = raw.substr(pos, eol - pos);
        const size_t colon = line.find(':');
        if (colon != std::string::npos) {
            std::string name = line.substr(0, colon);
            for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            std::string value = line.substr(colon + 1);
            while (!value.empty() && value.front() == ' ') value.erase(0, 1);
            a.headers[name] = value;
        }
        pos = eol + 2;
    }
    a.body = raw.substr(headEnd + 4);
    return a;
}

// Sends `request` as it is on a new connection and reads the answer until
// the server closes it (ask with "Connection: close").
inline RawAnswer rawRequest(int port, const std::string& request,
                            std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const int fd = connectTo(port);
    if (fd < 0) return {};
    sendAll(fd, request);
    const std::string raw = readAll(fd, timeout);
    ::close(fd);
    return parseAnswer(raw);
}

inline RawAnswer get(int port, const std::string& target, const std::string& extraHeaders = "",
                     const std::string& method = "GET") {
    return rawRequest(port, method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
                                extraHeaders + "Connection: close\r\n\r\n");
}

// Asks `condition` again until it holds or `timeout` passes; its last answer.
template <typename Condition>
bool waitUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) return condition();
        pollfd none{-1, 0, 0};
        ::poll(&none, 0, 5);
    }
    return true;
}

}  // namespace klik::test
