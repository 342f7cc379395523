#include "ptpip/PtpIpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "ptpip/PtpCodes.h"

namespace klik::ptp {

namespace {

std::mutex gLogMutex;

void logLine(const std::string& line) {
    std::lock_guard lock(gLogMutex);
    std::fprintf(stderr, "klik-ptpip-camera: %s\n", line.c_str());
    std::fflush(stderr);
}

double nowSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool writeAll(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = ::send(fd, p, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

// Reads into the decoder until a whole packet is there. Nullopt on end of
// stream, error or a malformed stream (logged).
std::optional<Packet> readPacket(int fd, PacketDecoder& decoder, const char* what) {
    for (;;) {
        if (auto p = decoder.next()) return p;
        if (decoder.failed()) {
            logLine(std::string(what) + ": " + decoder.error());
            return std::nullopt;
        }
        std::uint8_t buf[64 * 1024];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        if (!decoder.feed(buf, static_cast<std::size_t>(n))) {
            logLine(std::string(what) + ": " + decoder.error());
            return std::nullopt;
        }
    }
}

}  // namespace

struct PtpIpServer::Connection {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
};

struct PtpIpServer::Session {
    std::uint32_t number = 0;
    int commandFd = -1;
    std::mutex eventMutex;
    int eventFd = -1;  // guarded by eventMutex
    std::atomic<bool> closed{false};
};

PtpIpServer::PtpIpServer(PtpCamera& camera) : camera_(camera) {
    if (::pipe2(wakePipe_, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe_[0] = wakePipe_[1] = -1;
}

PtpIpServer::~PtpIpServer() {
    closeListener();
    for (int fd : wakePipe_)
        if (fd >= 0) ::close(fd);
}

void PtpIpServer::wake() {
    const char c = 1;
    if (wakePipe_[1] >= 0) [[maybe_unused]]
        ssize_t n = ::write(wakePipe_[1], &c, 1);
}

bool PtpIpServer::listen(const std::string& address, std::string& error) {
    const auto colon = address.rfind(':');
    if (colon == std::string::npos) {
        error = "address \"" + address + "\" is not HOST:PORT";
        return false;
    }
    const std::string host = address.substr(0, colon), port = address.substr(colon + 1);
    char* end = nullptr;
    const unsigned long p = std::strtoul(port.c_str(), &end, 10);
    if (port.empty() || *end != '\0' || p > 65535) {
        error = "port \"" + port + "\" is not a number from 0 to 65535";
        return false;
    }
    address_ = {};
    address_.sin_family = AF_INET;
    address_.sin_port = htons(static_cast<std::uint16_t>(p));
    if (::inet_pton(AF_INET, host.c_str(), &address_.sin_addr) != 1) {
        error = "host \"" + host + "\" is not a numeric IPv4 address";
        return false;
    }
    return openListener(error);
}

bool PtpIpServer::openListener(std::string& error) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::generic_category().message(errno);
        return false;
    }
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address_), sizeof address_) != 0 ||
        ::listen(fd, 8) != 0) {
        error =
            "cannot listen on " + boundAddress() + ": " + std::generic_category().message(errno);
        ::close(fd);
        return false;
    }
    // With port 0 the kernel chose one; keep it, so coming back after a
    // vanish uses the same address.
    socklen_t len = sizeof address_;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address_), &len);
    listenFd_ = fd;
    return true;
}

void PtpIpServer::closeListener() {
    if (listenFd_ >= 0) ::close(listenFd_);
    listenFd_ = -1;
}

std::string PtpIpServer::boundAddress() const {
    char host[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &address_.sin_addr, host, sizeof host);
    return std::string(host) + ":" + std::to_string(ntohs(address_.sin_port));
}

void PtpIpServer::stop() {
    stopRequested_ = true;
    wake();
}

void PtpIpServer::vanish(double forSeconds) {
    vanishFor_ = forSeconds;
    vanishRequested_ = true;
    wake();
}

void PtpIpServer::comeBack() {
    comeBackRequested_ = true;
    wake();
}

void PtpIpServer::run() {
    const CameraFaults& faults = camera_.config().faults;
    const double started = nowSeconds();
    bool timedVanishDone = faults.vanishAfterSeconds <= 0;
    double comeBackAt = -1;
    while (!stopRequested_) {
        const double now = nowSeconds();
        if (!timedVanishDone && now >= started + faults.vanishAfterSeconds) {
            timedVanishDone = true;
            vanish(faults.vanishForSeconds);
        }
        if (vanishRequested_.exchange(false)) {
            const double forSeconds = vanishFor_;
            if (!vanished_) {
                closeListener();
                {
                    std::lock_guard lock(mutex_);
                    vanished_ = true;
                }
                dropAllConnections();
                logLine(forSeconds > 0 ? "vanished for " + std::to_string(forSeconds) + " s"
                                       : "vanished until SIGUSR2");
            }
            comeBackAt = forSeconds > 0 ? now + forSeconds : -1;
        }
        if (vanished_ &&
            (comeBackRequested_.exchange(false) || (comeBackAt > 0 && now >= comeBackAt))) {
            std::string error;
            if (openListener(error)) {
                std::lock_guard lock(mutex_);
                vanished_ = false;
                comeBackAt = -1;
                logLine("back on " + boundAddress());
            } else {
                logLine("cannot come back yet: " + error);
                comeBackAt = now + 0.5;
            }
        }
        comeBackRequested_ = false;

        double wait = 1.0;
        if (!timedVanishDone) wait = std::min(wait, started + faults.vanishAfterSeconds - now);
        if (comeBackAt > 0) wait = std::min(wait, comeBackAt - now);
        pollfd fds[2] = {{wakePipe_[0], POLLIN, 0}, {listenFd_, POLLIN, 0}};
        const int n =
            ::poll(fds, listenFd_ >= 0 ? 2 : 1, static_cast<int>(std::max(0.0, wait) * 1000) + 1);
        if (n > 0 && (fds[0].revents & POLLIN)) {
            char buf[64];
            while (::read(wakePipe_[0], buf, sizeof buf) > 0) {
            }
        }
        if (n > 0 && listenFd_ >= 0 && (fds[1].revents & POLLIN)) acceptOne();
        reapConnections(false);
    }
    closeListener();
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopCv_.notify_all();
    dropAllConnections();
    reapConnections(true);
}

void PtpIpServer::dropAllConnections() {
    std::lock_guard lock(mutex_);
    for (auto& c : connections_)
        if (c->fd >= 0) ::shutdown(c->fd, SHUT_RDWR);
    if (current_) {
        current_->closed = true;
        current_.reset();
        camera_.endSession();
    }
    stopCv_.notify_all();
}

void PtpIpServer::acceptOne() {
    int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    Connection* raw = c.get();
    std::lock_guard lock(mutex_);
    connections_.push_back(std::move(c));
    raw->thread = std::thread([this, raw] { serveConnection(raw); });
}

void PtpIpServer::reapConnections(bool all) {
    std::list<std::unique_ptr<Connection>> finished;
    std::list<std::thread> workers;
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (all || (*it)->done) {
                finished.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
        if (all) workers.swap(workers_);
    }
    for (auto& c : finished)
        if (c->thread.joinable()) c->thread.join();
    for (auto& t : workers)
        if (t.joinable()) t.join();
}

void PtpIpServer::serveConnection(Connection* c) {
    // The first packet says which connection this is; a peer that says
    // nothing within 10 s is let go.
    timeval tv{10, 0};
    ::setsockopt(c->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    PacketDecoder decoder(PtpIpCommandChannel::kMaxPacket);
    std::optional<Packet> first = readPacket(c->fd, decoder, "new connection");
    tv = {0, 0};
    ::setsockopt(c->fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (first && first->type == kInitCommandRequest) {
        // Bytes that came along with the first packet stay in the decoder:
        // the command loop carries on with it.
        serveCommand(c, std::move(*first), decoder);
    } else if (first && first->type == kInitEventRequest) {
        serveEvent(c, *first);
    } else if (first) {
        logLine("connection closed: first packet of type " + std::to_string(first->type));
    }
    std::lock_guard lock(mutex_);
    ::close(c->fd);
    c->fd = -1;
    c->done = true;
}

void PtpIpServer::serveCommand(Connection* c, Packet first, PacketDecoder& decoder) {
    auto s = std::make_shared<Session>();
    s->commandFd = c->fd;
    {
        std::lock_guard lock(mutex_);
        if (vanished_ || stopping_) return;
        s->number = nextConnectionNumber_++;
        if (current_) {
            // The newest host wins: the camera is free for it at once.
            logLine("a new host takes over from connection " + std::to_string(current_->number));
            current_->closed = true;
            ::shutdown(current_->commandFd, SHUT_RDWR);
            {
                std::lock_guard eventLock(current_->eventMutex);
                if (current_->eventFd >= 0) ::shutdown(current_->eventFd, SHUT_RDWR);
            }
            camera_.endSession();
            stopCv_.notify_all();
        }
        current_ = s;
    }
    PtpIpCommandChannel channel(camera_, s->number);
    std::optional<Packet> packet = std::move(first);
    while (packet && !s->closed) {
        ChannelOutput out = channel.onPacket(*packet);
        if (!out.log.empty()) logLine(out.log);
        if (!sendSegments(*s, c->fd, out.segments)) break;
        sendEvents(*s, out.events);
        if (out.captureTransaction) {
            std::lock_guard lock(mutex_);
            const std::uint32_t tid = *out.captureTransaction;
            workers_.emplace_back([this, s, tid] { captureWorker(s, tid); });
        }
        if (out.close) break;
        packet = readPacket(c->fd, decoder, "command connection");
    }
    std::lock_guard lock(mutex_);
    s->closed = true;
    {
        std::lock_guard eventLock(s->eventMutex);
        if (s->eventFd >= 0) ::shutdown(s->eventFd, SHUT_RDWR);
    }
    if (current_ == s) {
        current_.reset();
        camera_.endSession();
        logLine("host disconnected");
    }
    stopCv_.notify_all();
}

void PtpIpServer::serveEvent(Connection* c, const Packet& first) {
    ByteReader r(first.payload);
    std::uint32_t number = 0;
    std::shared_ptr<Session> s;
    if (r.u32(number)) {
        std::lock_guard lock(mutex_);
        if (current_ && current_->number == number) s = current_;
    }
    if (!s) {
        const Bytes fail = makeInitFail(kGeneralError);
        writeAll(c->fd, fail.data(), fail.size());
        logLine("event connection for unknown connection " + std::to_string(number) + " refused");
        return;
    }
    {
        std::lock_guard eventLock(s->eventMutex);
        if (s->eventFd >= 0 || s->closed) {
            const Bytes fail = makeInitFail(kGeneralError);
            writeAll(c->fd, fail.data(), fail.size());
            return;
        }
        s->eventFd = c->fd;
        const Bytes ack = makeInitEventAck();
        writeAll(c->fd, ack.data(), ack.size());
    }
    // The host only ever pings here; the camera writes the events.
    PacketDecoder decoder(1024);
    while (auto p = readPacket(c->fd, decoder, "event connection")) {
        if (p->type == kPing) {
            const Bytes pong = makePacket(kPong, {});
            std::lock_guard eventLock(s->eventMutex);
            writeAll(c->fd, pong.data(), pong.size());
        }
    }
    std::lock_guard eventLock(s->eventMutex);
    s->eventFd = -1;
}

bool PtpIpServer::sleepUnlessStopped(double seconds, const Session* s) {
    if (seconds <= 0) return true;
    std::unique_lock lock(mutex_);
    return !stopCv_.wait_for(lock, std::chrono::duration<double>(seconds),
                             [&] { return stopping_ || vanished_ || (s && s->closed); });
}

bool PtpIpServer::sendSegments(Session& s, int fd, const std::vector<Segment>& segments) {
    const double rate = camera_.config().faults.downloadBytesPerSecond;
    for (const Segment& seg : segments) {
        if (seg.delayBefore > 0 && !sleepUnlessStopped(seg.delayBefore, &s)) return false;
        if (!writeAll(fd, seg.head.data(), seg.head.size())) return false;
        if (!seg.body || seg.length == 0) continue;
        const std::uint8_t* p = seg.body->data() + seg.offset;
        if (!seg.throttled || rate <= 0) {
            if (!writeAll(fd, p, seg.length)) return false;
            continue;
        }
        // Paced: pieces of a twentieth of a second's worth.
        const std::size_t piece = std::max<std::size_t>(1024, static_cast<std::size_t>(rate / 20));
        const double start = nowSeconds();
        for (std::size_t sent = 0; sent < seg.length;) {
            const double due = start + static_cast<double>(sent) / rate;
            if (!sleepUnlessStopped(due - nowSeconds(), &s)) return false;
            const std::size_t n = std::min(piece, seg.length - sent);
            if (!writeAll(fd, p + sent, n)) return false;
            sent += n;
        }
    }
    return true;
}

void PtpIpServer::sendEvents(Session& s, const std::vector<CameraEvent>& events) {
    if (events.empty()) return;
    std::lock_guard eventLock(s.eventMutex);
    for (const CameraEvent& e : events) {
        if (s.eventFd < 0 || s.closed) {
            logLine("event dropped: no event connection");
            return;
        }
        Container c;
        c.code = e.code;
        c.transactionID = e.transactionID;
        c.paramCount = static_cast<unsigned>(std::min<std::size_t>(3, e.params.size()));
        std::copy_n(e.params.begin(), c.paramCount, c.params);
        const Bytes packet = makeEvent(c);
        if (!writeAll(s.eventFd, packet.data(), packet.size())) return;
    }
}

void PtpIpServer::captureWorker(const std::shared_ptr<Session>& s, std::uint32_t transactionID) {
    const CameraConfig& config = camera_.config();
    sleepUnlessStopped(config.captureDelay, nullptr);
    const std::vector<CameraEvent> events = camera_.completeCapture(transactionID);
    for (const CameraEvent& e : events)
        if (e.code == kObjectAdded && !e.params.empty())
            logLine("photo taken: object " + std::to_string(e.params[0]));
    // An EOS body announces its shots through GetEvent, not here.
    if (events.empty()) logLine("photo taken: reported through GetEvent");
    if (!s->closed) sendEvents(*s, events);
    const int after = config.faults.vanishAfterCaptures;
    if (after > 0 && camera_.capturesCompleted() == static_cast<unsigned>(after)) {
        // A moment for the host to read the events, then the camera is gone.
        sleepUnlessStopped(0.5, nullptr);
        vanish(config.faults.vanishForSeconds);
    }
}

}  // namespace klik::ptp
