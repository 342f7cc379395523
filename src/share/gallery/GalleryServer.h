#pragma once
// The gallery's HTTP server: cpp-httplib's request parsing and response
// writing, with every connection run by this server so that nothing a
// client does is unbounded:
//
// - connections: at most `maxConnections` accepted and not yet closed (503
//   past that), `maxConnectionsPerClient` per client address (429);
// - a request's head (line and headers) must arrive within
//   `requestHeadTimeout` and hold at most `maxRequestHeadBytes` (431
//   otherwise), an idle connection waits `idleTimeout` for its next
//   request, at most `maxRequestsPerConnection` go over one connection,
//   each write may wait `writeTimeout`, and a connection lives at most
//   `connectionLifetime` (`eventStreamLifetime` for the wall's events);
// - requests: a token bucket per client address (429 past it);
// - at most `maxEventStreams` walls at once (503 past that).
//
// Byte ranges are this server's own (GalleryService): the library's range
// code is never used.
//
// The accept loop and the connections run on threads of their own; bind(),
// start() and stop() from one controlling thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "share/gallery/GalleryService.h"
#include "share/gallery/RateLimiter.h"

namespace klik {

struct GalleryLimits {
    int workerThreads = 48;
    int maxConnections = 256;
    int maxConnectionsPerClient = 16;
    int maxRequestsPerConnection = 100;
    std::size_t maxRequestHeadBytes = 8192;
    std::chrono::milliseconds requestHeadTimeout{10000};
    std::chrono::milliseconds idleTimeout{5000};
    std::chrono::milliseconds writeTimeout{10000};
    std::chrono::seconds connectionLifetime{900};
    // Per client: requests a second and the burst allowed (0: no limit).
    double requestsPerSecond = 20;
    double requestBurst = 120;
    int maxEventStreams = 8;
    std::chrono::seconds eventStreamLifetime{3600};
    std::chrono::milliseconds eventHeartbeat{15000};
};

struct GalleryServerStats {
    std::uint64_t connections = 0;         // admitted
    std::uint64_t refusedConnections = 0;  // 503 / 429 before reading a request
    std::uint64_t rateLimited = 0;         // 429 answers to requests
    std::uint64_t overlongHeads = 0;       // 431
    std::uint64_t requests = 0;            // requests answered by the service
};

class GalleryServer {
  public:
    GalleryServer(GalleryService& service, GalleryLimits limits = {});
    ~GalleryServer();
    GalleryServer(const GalleryServer&) = delete;
    GalleryServer& operator=(const GalleryServer&) = delete;

    // Binds `host` (an address; "0.0.0.0" or "::" for every interface)
    // and `port` (0: a free one). An address the machine does not have yet
    // (the booth's hotspot not up) is bound all the same and served once it
    // comes. False with the reason in `error`.
    bool bind(const std::string& host, int port, std::string* error = nullptr);
    // Serves on a thread of its own until stop().
    void start();
    // Stops accepting, ends every connection (waits for them) and returns.
    void stop();
    int port() const { return port_; }
    bool isRunning() const;
    GalleryServerStats stats() const;

    // Runs the requests in `bytes` (at most 16) through the library's
    // parser and this server's handling as if a client at "memory" had sent
    // them, without a socket; returns what would have been written. The
    // wall's events end after their first part. For tests and fuzzing; any
    // thread, before or while serving.
    std::string serveRequestBytes(const std::string& bytes);

    class Impl;

  private:
    std::unique_ptr<Impl> impl_;
    std::thread thread_;
    int port_ = 0;
};

}  // namespace klik
