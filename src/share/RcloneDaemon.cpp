#include "share/RcloneDaemon.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <mutex>
#include <random>
#include <regex>
#include <thread>

#include "log/Log.h"
#include "share/ChildProcess.h"

namespace klik::share {

namespace {

size_t collect(char* data, size_t size, size_t count, void* user) {
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

int rcloneProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* stop = static_cast<const std::function<bool()>*>(user);
    return *stop && (*stop)() ? 1 : 0;
}

std::string randomHex(size_t bytes) {
    std::random_device rd;
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes; ++i) {
        const unsigned v = rd() & 0xff;
        out += hex[v >> 4];
        out += hex[v & 15];
    }
    return out;
}

}  // namespace

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

RcloneDaemon::~RcloneDaemon() {
    stop();
    if (curl_) curl_easy_cleanup(static_cast<CURL*>(curl_));
}

void RcloneDaemon::stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool RcloneDaemon::ensureRunning(std::string* error) {
    if (pid_ > 0) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == 0) return true;
        pid_ = -1;  // it ended; start another
    }
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    user_ = "klik-share";
    password_ = randomHex(16);
    int p[2];
    if (::pipe2(p, O_CLOEXEC) != 0) {
        if (error) *error = "cannot make a pipe";
        return false;
    }
    // The login reaches rclone through its environment, never its command
    // line (which every user of the machine can read).
    pid_ = startChild({rclone_, "rcd", "--rc-addr", "127.0.0.1:0", "--rc-server-read-timeout",
                       "24h", "--rc-server-write-timeout", "24h"},
                      p[1], p[1], {"RCLONE_RC_USER=" + user_, "RCLONE_RC_PASS=" + password_});
    ::close(p[1]);
    if (pid_ <= 0) {
        ::close(p[0]);
        if (error) *error = "cannot start " + rclone_ + " rcd";
        return false;
    }
    static const std::regex ready("Serving remote control on (http://127\\.0\\.0\\.1:[0-9]+/)");
    std::string seen;
    std::array<char, 4096> buf{};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    url_.clear();
    while (url_.empty() && std::chrono::steady_clock::now() < deadline) {
        pollfd fd{p[0], POLLIN, 0};
        if (::poll(&fd, 1, 500) <= 0) continue;
        const ssize_t n = ::read(p[0], buf.data(), buf.size());
        if (n <= 0) break;
        seen.append(buf.data(), static_cast<size_t>(n));
        std::smatch m;
        if (std::regex_search(seen, m, ready)) url_ = m[1].str();
    }
    if (url_.empty()) {
        ::close(p[0]);
        stop();
        if (error) *error = "rclone rcd did not start: " + seen.substr(0, 300);
        return false;
    }
    // The daemon's later lines (errors of single transfers, which the
    // answers carry too) are read and dropped, so it never blocks on them.
    std::thread([fd = p[0]] {
        std::array<char, 4096> b{};
        while (::read(fd, b.data(), b.size()) > 0) {
        }
        ::close(fd);
    }).detach();
    GLIMRA_Log::debug("rclone's remote control runs at " + url_);
    return true;
}

RcAnswer RcloneDaemon::call(const std::string& method, const std::string& json,
                            const std::function<bool()>& stopRequested) {
    RcAnswer a;
    if (!curl_) curl_ = curl_easy_init();
    auto* c = static_cast<CURL*>(curl_);
    if (!c || url_.empty()) return a;
    curl_easy_reset(c);
    const std::string url = url_ + method;
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: application/json");
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
    curl_easy_setopt(c, CURLOPT_USERNAME, user_.c_str());
    curl_easy_setopt(c, CURLOPT_PASSWORD, password_.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, json.c_str());
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(json.size()));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &a.body);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 10L);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, rcloneProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &stopRequested);
    const CURLcode rc = curl_easy_perform(c);
    curl_slist_free_all(headers);
    if (rc == CURLE_ABORTED_BY_CALLBACK) {
        a.stopped = true;
        return a;
    }
    if (rc == CURLE_OK) curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &a.status);
    return a;
}

}  // namespace klik::share
