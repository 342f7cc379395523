#include "share/gallery/GalleryServer.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <httplib.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <system_error>
#include <vector>

#include "log/Log.h"
#include "share/gallery/GalleryPages.h"

namespace klik {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Set on the accept thread while it runs a connection's task itself because
// the queue of waiting connections is full: that connection is refused.
thread_local bool tRefuseOverload = false;

std::string addressText(const sockaddr_storage& ss, int& port) {
    char buf[INET6_ADDRSTRLEN] = {0};
    port = 0;
    if (ss.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&ss);
        ::inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf);
        port = ntohs(in->sin_port);
    } else if (ss.ss_family == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&ss);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, buf, sizeof buf);
        port = ntohs(in6->sin6_port);
        // An IPv4 client on a dual-stack socket counts as its IPv4 address.
        constexpr std::string_view kMapped = "::ffff:";
        std::string s = buf;
        if (s.rfind(kMapped, 0) == 0 && s.find('.') != std::string::npos)
            return s.substr(kMapped.size());
    }
    return buf;
}

std::string statusLine(int status) {
    switch (status) {
        case 429:
            return "HTTP/1.1 429 Too Many Requests\r\n";
        case 431:
            return "HTTP/1.1 431 Request Header Fields Too Large\r\n";
        default:
            return "HTTP/1.1 503 Service Unavailable\r\n";
    }
}

// A whole answer written straight to the socket (no request read).
std::string rawAnswer(int status) {
    const std::string& body = status == 429   ? tooManyRequestsHtml()
                              : status == 431 ? notFoundHtml()
                                              : unavailableHtml();
    const std::string& sent = status == 431 ? std::string() : body;
    return statusLine(status) + "Content-Type: text/html; charset=utf-8\r\nContent-Length: " +
           std::to_string(sent.size()) +
           "\r\nRetry-After: 1\r\nCache-Control: no-store\r\nConnection: close\r\n\r\n" + sent;
}

void drainNonBlocking(int fd) {
    char buf[4096];
    for (int i = 0; i < 16; ++i)
        if (::recv(fd, buf, sizeof buf, MSG_DONTWAIT) <= 0) break;
}

// Answers and closes without reading a request: the client's bytes already
// there are read first, so closing sends no reset over them.
void refuse(int fd, int status) {
    drainNonBlocking(fd);
    const std::string answer = rawAnswer(status);
    (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    ::shutdown(fd, SHUT_WR);
    drainNonBlocking(fd);
    ::close(fd);
}

// One connection's reads and writes within the server's bounds.
class BoundedStream : public httplib::Stream {
  public:
    BoundedStream(int fd, std::string ip, int port, const GalleryLimits& limits,
                  const std::atomic<bool>& stopping)
        : fd_(fd),
          ip_(std::move(ip)),
          port_(port),
          limits_(limits),
          stopping_(stopping),
          lifetimeEnd_(SteadyClock::now() + limits.connectionLifetime) {}

    // The next request may begin: a fresh head budget and deadline.
    void startRequest() {
        headBytes_ = 0;
        headDeadline_ = SteadyClock::now() + limits_.requestHeadTimeout;
    }
    // Waits up to `timeout` for the next request's first bytes.
    bool waitForRequest(std::chrono::milliseconds timeout) {
        if (pos_ < end_) return true;
        return waitFor(POLLIN, SteadyClock::now() + timeout);
    }
    void extendLifetime(std::chrono::seconds lifetime) {
        lifetimeEnd_ = SteadyClock::now() + lifetime;
    }
    bool overlong() const { return overlong_; }
    bool broken() const { return broken_; }
    bool closeAfter = false;

    bool is_readable() const override {
        if (pos_ < end_) return true;
        return const_cast<BoundedStream*>(this)->waitFor(POLLIN, headDeadline_);
    }
    bool is_writable() const override {
        return const_cast<BoundedStream*>(this)->waitFor(
            POLLOUT, std::min(SteadyClock::now() + limits_.writeTimeout, lifetimeEnd_));
    }
    ssize_t read(char* ptr, size_t size) override {
        if (broken_ || overlong_) return -1;
        if (pos_ == end_ && !fill()) return -1;
        const size_t n = std::min(size, end_ - pos_);
        if (headBytes_ + n > limits_.maxRequestHeadBytes) {
            tooLong();
            return -1;
        }
        std::memcpy(ptr, buf_ + pos_, n);
        pos_ += n;
        headBytes_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        // After a 431 the library's own answer goes nowhere.
        if (overlong_) return static_cast<ssize_t>(size);
        if (broken_) return -1;
        size_t done = 0;
        while (done < size) {
            if (stopping_ || SteadyClock::now() >= lifetimeEnd_) return fail();
            const ssize_t w = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
            if (w > 0) {
                done += static_cast<size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR) continue;
            if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!waitFor(POLLOUT,
                             std::min(SteadyClock::now() + limits_.writeTimeout, lifetimeEnd_)))
                    return fail();
                continue;
            }
            return fail();
        }
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = ip_;
        port = port_;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&ss), &len) == 0)
            ip = addressText(ss, port);
    }
    socket_t socket() const override { return fd_; }

  private:
    ssize_t fail() {
        broken_ = true;
        return -1;
    }
    void tooLong() {
        overlong_ = true;
        const std::string answer = rawAnswer(431);
        size_t done = 0;
        while (done < answer.size()) {
            const ssize_t w = ::send(fd_, answer.data() + done, answer.size() - done, MSG_NOSIGNAL);
            if (w > 0) {
                done += static_cast<size_t>(w);
                continue;
            }
            const bool again =
                w < 0 && (errno == EINTR ||
                          (errno == EAGAIN &&
                           waitFor(POLLOUT, SteadyClock::now() + std::chrono::seconds(2))));
            if (!again) break;
        }
    }
    // Waits for `events` on the socket until `deadline`, in slices so a
    // stopping server is noticed.
    bool waitFor(short events, SteadyClock::time_point deadline) {
        for (;;) {
            if (stopping_) return false;
            const auto now = SteadyClock::now();
            if (now >= deadline) return false;
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            pollfd p{fd_, events, 0};
            const int r = ::poll(&p, 1, static_cast<int>(std::min<long long>(left + 1, 200)));
            if (r > 0) return true;
            if (r < 0 && errno != EINTR) return false;
        }
    }
    bool fill() {
        for (;;) {
            if (stopping_) return false;
            const ssize_t r = ::recv(fd_, buf_, sizeof buf_, 0);
            if (r > 0) {
                pos_ = 0;
                end_ = static_cast<size_t>(r);
                return true;
            }
            if (r == 0) return false;
            if (errno == EINTR) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitFor(POLLIN, headDeadline_))
                continue;
            return false;
        }
    }

    const int fd_;
    const std::string ip_;
    const int port_;
    const GalleryLimits& limits_;
    const std::atomic<bool>& stopping_;
    SteadyClock::time_point lifetimeEnd_;
    SteadyClock::time_point headDeadline_ = SteadyClock::now();
    std::size_t headBytes_ = 0;
    char buf_[4096];
    std::size_t pos_ = 0, end_ = 0;
    bool overlong_ = false;
    bool broken_ = false;
};

thread_local BoundedStream* tStream = nullptr;
// Set while serveRequestBytes runs: the wall's events end after their
// first part instead of waiting for photos.
thread_local bool tOneShot = false;

// Requests from memory, answers into memory, with the same head budget.
class MemoryStream : public httplib::Stream {
  public:
    MemoryStream(const std::string& in, std::size_t maxHead) : in_(in), maxHead_(maxHead) {}
    void startRequest() { headBytes_ = 0; }
    bool hasInput() const { return pos_ < in_.size(); }
    bool overlong() const { return overlong_; }
    std::string& output() { return out_; }

    bool is_readable() const override { return pos_ < in_.size(); }
    bool is_writable() const override { return out_.size() < (64u << 20); }
    ssize_t read(char* ptr, size_t size) override {
        if (overlong_ || pos_ >= in_.size()) return -1;
        const size_t n = std::min(size, in_.size() - pos_);
        if (headBytes_ + n > maxHead_) {
            overlong_ = true;
            out_ += rawAnswer(431);
            return -1;
        }
        std::memcpy(ptr, in_.data() + pos_, n);
        pos_ += n;
        headBytes_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        if (!overlong_) out_.append(ptr, size);
        return static_cast<ssize_t>(size);
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = "memory";
        port = 0;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip = "memory";
        port = 0;
    }
    socket_t socket() const override { return INVALID_SOCKET; }

  private:
    const std::string& in_;
    const std::size_t maxHead_;
    std::size_t pos_ = 0;
    std::size_t headBytes_ = 0;
    bool overlong_ = false;
    std::string out_;
};

// Worker threads for connections, with a bounded queue: a connection that
// finds the queue full is refused at once on the accepting thread.
class BoundedQueue : public httplib::TaskQueue {
  public:
    BoundedQueue(std::size_t threads, std::size_t maxWaiting) : maxWaiting_(maxWaiting) {
        for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
    }
    void enqueue(std::function<void()> fn) override {
        {
            std::unique_lock lock(mutex_);
            if (jobs_.size() < maxWaiting_) {
                jobs_.push_back(std::move(fn));
                cv_.notify_one();
                return;
            }
        }
        tRefuseOverload = true;
        fn();
        tRefuseOverload = false;
    }
    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            shutdown_ = true;
        }
        cv_.notify_all();
        for (auto& t : threads_) t.join();
    }

  private:
    void work() {
        for (;;) {
            std::function<void()> fn;
            {
                std::unique_lock lock(mutex_);
                cv_.wait(lock, [&] { return shutdown_ || !jobs_.empty(); });
                if (shutdown_ && jobs_.empty()) return;
                fn = std::move(jobs_.front());
                jobs_.pop_front();
            }
            fn();
        }
    }

    const std::size_t maxWaiting_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    bool shutdown_ = false;
};

}  // namespace

class GalleryServer::Impl : public httplib::Server {
  public:
    Impl(GalleryService& service, GalleryLimits limits)
        : service_(service),
          limits_(limits),
          limiter_(limits.requestsPerSecond, limits.requestBurst) {
        const auto threads = static_cast<std::size_t>(std::max(1, limits_.workerThreads));
        const auto waiting =
            static_cast<std::size_t>(std::max(16, limits_.maxConnections - limits_.workerThreads));
        new_task_queue = [threads, waiting] { return new BoundedQueue(threads, waiting); };
        set_keep_alive_max_count(static_cast<std::size_t>(limits_.maxRequestsPerConnection));
        set_keep_alive_timeout(std::max<time_t>(
            1, std::chrono::duration_cast<std::chrono::seconds>(limits_.idleTimeout).count()));
        set_payload_max_length(0);
        set_socket_options([](socket_t sock) {
            int one = 1;
            ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            // An address the machine does not have yet can be bound.
            ::setsockopt(sock, IPPROTO_IP, IP_FREEBIND, &one, sizeof one);
        });
        set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
            answer(req, res);
            return HandlerResponse::Handled;
        });
    }

    bool bindTo(const std::string& host, int port, int& bound, std::string* error) {
        errno = 0;
        if (port == 0) {
            bound = bind_to_any_port(host);
        } else {
            bound = bind_to_port(host, port) ? port : -1;
        }
        if (bound <= 0) {
            if (error)
                *error = "cannot listen on " + host + ":" + std::to_string(port) +
                         (errno ? " (" + std::generic_category().message(errno) + ")" : "");
            return false;
        }
        // The library's backlog of 5 would turn a few phones at once away.
        ::listen(svr_sock_, 512);
        return true;
    }

    void shutDown() {
        stopping_ = true;
        service_.index().wakeAll();
        stop();
    }

    GalleryServerStats stats() const {
        std::lock_guard lock(statsMutex_);
        return stats_;
    }

    std::string serveBytes(const std::string& bytes) {
        MemoryStream strm(bytes, limits_.maxRequestHeadBytes);
        tOneShot = true;
        for (int n = 0; n < 16 && strm.hasInput(); ++n) {
            strm.startRequest();
            bool closed = false;
            const bool ok =
                process_request(strm, false, closed, [](httplib::Request& r) { r.ranges.clear(); });
            if (!ok || closed || strm.overlong()) break;
        }
        tOneShot = false;
        return std::move(strm.output());
    }

    std::atomic<bool> stopping_{false};

  private:
    bool process_and_close_socket(socket_t sock) override {
        const int fd = static_cast<int>(sock);
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        int port = 0;
        std::string ip = "?";
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&ss), &len) == 0)
            ip = addressText(ss, port);
        if (tRefuseOverload || stopping_ || active_.load() >= limits_.maxConnections) {
            count(&GalleryServerStats::refusedConnections);
            refuse(fd, 503);
            return true;
        }
        if (!admitClient(ip)) {
            count(&GalleryServerStats::refusedConnections);
            refuse(fd, 429);
            return true;
        }
        ++active_;
        count(&GalleryServerStats::connections);
        {
            BoundedStream strm(fd, ip, port, limits_, stopping_);
            tStream = &strm;
            for (int n = 0; n < limits_.maxRequestsPerConnection; ++n) {
                if (!strm.waitForRequest(n == 0 ? limits_.requestHeadTimeout : limits_.idleTimeout))
                    break;
                strm.startRequest();
                bool closed = false;
                const bool last = n + 1 == limits_.maxRequestsPerConnection || stopping_;
                const bool ok = process_request(strm, last, closed, [](httplib::Request& r) {
                    // Byte ranges are answered by the service, never by the
                    // library.
                    r.ranges.clear();
                });
                if (strm.overlong()) count(&GalleryServerStats::overlongHeads);
                if (!ok || closed || strm.closeAfter || strm.overlong() || strm.broken()) break;
            }
            tStream = nullptr;
        }
        --active_;
        releaseClient(ip);
        ::shutdown(fd, SHUT_WR);
        drainNonBlocking(fd);
        ::close(fd);
        return true;
    }

    bool admitClient(const std::string& ip) {
        std::lock_guard lock(clientsMutex_);
        int& n = clients_[ip];
        if (n >= limits_.maxConnectionsPerClient) {
            if (n == 0) clients_.erase(ip);
            return false;
        }
        ++n;
        return true;
    }
    void releaseClient(const std::string& ip) {
        std::lock_guard lock(clientsMutex_);
        auto it = clients_.find(ip);
        if (it != clients_.end() && --it->second <= 0) clients_.erase(it);
    }
    void count(std::uint64_t GalleryServerStats::*field) {
        std::lock_guard lock(statsMutex_);
        ++(stats_.*field);
    }

    void answer(const httplib::Request& req, httplib::Response& res) {
        BoundedStream* strm = tStream;
        if (!limiter_.allow(req.remote_addr)) {
            count(&GalleryServerStats::rateLimited);
            fill(res, GalleryService::tooManyRequests());
            if (strm) strm->closeAfter = true;
            return;
        }
        count(&GalleryServerStats::requests);
        GalleryRequest request{req.method, req.target, req.get_header_value("Range")};
        GalleryResponse a = service_.handle(request);
        if (a.closeConnection && strm) strm->closeAfter = true;
        if (a.eventStream) {
            startEvents(req, res, a, strm);
            return;
        }
        fill(res, a);
    }

    static void setHeaders(httplib::Response& res, const GalleryResponse& a) {
        res.status = a.status;
        for (const auto& [k, v] : a.headers) res.set_header(k, v);
        // The client learns that this connection ends with this answer.
        if (a.closeConnection) res.set_header("Connection", "close");
    }

    void fill(httplib::Response& res, const GalleryResponse& a) {
        setHeaders(res, a);
        if (a.bytes && a.length > 0) {
            GalleryCache::Bytes bytes = a.bytes;
            const std::uint64_t offset = a.offset;
            res.set_content_provider(
                a.length, a.contentType,
                [bytes, offset](size_t off, size_t len, httplib::DataSink& sink) {
                    return sink.write(bytes->data() + offset + off, len);
                });
            return;
        }
        if (!a.filePath.empty() && a.length > 0) {
            const int file = ::open(a.filePath.c_str(), O_RDONLY | O_CLOEXEC);
            if (file < 0) {
                fill(res, GalleryService::notFound());
                return;
            }
            const std::uint64_t offset = a.offset;
            res.set_content_provider(
                a.length, a.contentType,
                [file, offset](size_t off, size_t len, httplib::DataSink& sink) {
                    std::vector<char> buf(std::min<size_t>(len, 256u << 10));
                    const ssize_t n =
                        ::pread(file, buf.data(), buf.size(), static_cast<off_t>(offset + off));
                    if (n <= 0) return false;
                    return sink.write(buf.data(), static_cast<size_t>(n));
                },
                [file](bool) { ::close(file); });
            return;
        }
        res.set_content("", a.contentType.empty() ? "text/plain" : a.contentType);
    }

    void startEvents(const httplib::Request& req, httplib::Response& res, const GalleryResponse& a,
                     BoundedStream* strm) {
        if (eventStreams_.fetch_add(1) >= limits_.maxEventStreams) {
            --eventStreams_;
            fill(res, GalleryService::unavailable());
            if (strm) strm->closeAfter = true;
            return;
        }
        if (strm) {
            strm->extendLifetime(limits_.eventStreamLifetime);
            strm->closeAfter = true;
        }
        setHeaders(res, a);
        struct State {
            bool started = false;
            std::uint64_t last = 0;
            bool resume = false;
            SteadyClock::time_point end;
        };
        auto state = std::make_shared<State>();
        state->end = SteadyClock::now() + limits_.eventStreamLifetime;
        const std::string lastId = req.get_header_value("Last-Event-ID");
        if (!lastId.empty() && lastId.size() < 20 &&
            std::all_of(lastId.begin(), lastId.end(),
                        [](char c) { return c >= '0' && c <= '9'; })) {
            state->resume = true;
            state->last =
                std::min<std::uint64_t>(std::stoull(lastId), service_.index().lastSequence());
        }
        res.set_chunked_content_provider(
            a.contentType,
            [this, state](size_t, httplib::DataSink& sink) {
                GalleryIndex& index = service_.index();
                if (stopping_ || SteadyClock::now() >= state->end) {
                    sink.done();
                    return true;
                }
                if (!state->started) {
                    state->started = true;
                    std::string text = "retry: 2000\n\n";
                    if (!state->resume) {
                        state->last = index.lastSequence();
                        auto recent = index.newestFirst(service_.now(), 50);
                        for (auto it = recent.rbegin(); it != recent.rend(); ++it)
                            text += wallEvent(*it, true);
                    }
                    const bool written = sink.write(text.data(), text.size());
                    if (tOneShot) sink.done();
                    return written;
                }
                if (tOneShot) {
                    sink.done();
                    return true;
                }
                const bool newer = index.waitForNewerThan(state->last, limits_.eventHeartbeat);
                if (stopping_) {
                    sink.done();
                    return true;
                }
                std::string text;
                if (newer)
                    for (const GalleryItem& item : index.newerThan(state->last, service_.now())) {
                        text += wallEvent(item, false);
                        state->last = std::max(state->last, item.sequence);
                    }
                if (text.empty()) {
                    state->last = std::max(state->last, newer ? index.lastSequence() : state->last);
                    text = ": ping\n\n";
                }
                return sink.write(text.data(), text.size());
            },
            [this](bool) { --eventStreams_; });
    }

    GalleryService& service_;
    const GalleryLimits limits_;
    RateLimiter limiter_;
    std::atomic<int> active_{0};
    std::atomic<int> eventStreams_{0};
    std::mutex clientsMutex_;
    std::map<std::string, int> clients_;
    mutable std::mutex statsMutex_;
    GalleryServerStats stats_;
};

GalleryServer::GalleryServer(GalleryService& service, GalleryLimits limits)
    : impl_(std::make_unique<Impl>(service, limits)) {}

GalleryServer::~GalleryServer() {
    stop();
}

bool GalleryServer::bind(const std::string& host, int port, std::string* error) {
    return impl_->bindTo(host, port, port_, error);
}

void GalleryServer::start() {
    if (thread_.joinable()) return;
    thread_ = std::thread([this] { impl_->listen_after_bind(); });
    // stop() must find it running.
    for (int i = 0; i < 5000 && !impl_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void GalleryServer::stop() {
    if (!thread_.joinable()) return;
    impl_->shutDown();
    thread_.join();
}

bool GalleryServer::isRunning() const {
    return impl_->is_running();
}

GalleryServerStats GalleryServer::stats() const {
    return impl_->stats();
}

std::string GalleryServer::serveRequestBytes(const std::string& bytes) {
    return impl_->serveBytes(bytes);
}

}  // namespace klik
