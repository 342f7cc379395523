#pragma once
// The PTP/IP camera on the network: one listening TCP socket that takes
// both the command and the event connection of a host (as cameras do on
// port 15740), a thread per connection, a capture worker per capture, and
// the faults that concern the connection itself (vanishing and coming back,
// slow and cut transfers). A new host that connects takes the camera over:
// the previous host's connections are closed, so a host whose earlier
// attempt died half-way can always come back.

#include <netinet/in.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "ptpip/PtpCamera.h"
#include "ptpip/PtpIpCommandChannel.h"

namespace klik::ptp {

class PtpIpServer {
  public:
    explicit PtpIpServer(PtpCamera& camera);
    ~PtpIpServer();
    PtpIpServer(const PtpIpServer&) = delete;
    PtpIpServer& operator=(const PtpIpServer&) = delete;

    // Binds "A.B.C.D:PORT" (port 0: a free one). False with `error` set on
    // failure. Main thread, before run().
    bool listen(const std::string& address, std::string& error);
    // The bound address as "A.B.C.D:PORT".
    std::string boundAddress() const;

    // Serves until stop(). Main thread.
    void run();
    // Ends run(): closes every connection and joins every thread. Any
    // thread, also from a signal handler (async-signal-safe).
    void stop();
    // The camera unplugs: connections drop and connects are refused until
    // comeBack() (or, when `forSeconds` > 0, that many seconds). Any
    // thread, async-signal-safe.
    void vanish(double forSeconds);
    void comeBack();

  private:
    struct Connection;
    struct Session;

    void wake();
    bool openListener(std::string& error);
    void closeListener();
    void dropAllConnections();
    void acceptOne();
    void serveConnection(Connection* c);
    void serveCommand(Connection* c, Packet first, PacketDecoder& decoder);
    void serveEvent(Connection* c, const Packet& first);
    bool sendSegments(Session& s, int fd, const std::vector<Segment>& segments);
    void sendEvents(Session& s, const std::vector<CameraEvent>& events);
    void captureWorker(const std::shared_ptr<Session>& s, std::uint32_t transactionID);
    bool sleepUnlessStopped(double seconds, const Session* s);
    void reapConnections(bool all);

    PtpCamera& camera_;
    sockaddr_in address_{};
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};

    // Requests from signal handlers, taken up by run().
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> vanishRequested_{false};
    std::atomic<bool> comeBackRequested_{false};
    std::atomic<double> vanishFor_{0};

    std::mutex mutex_;
    std::condition_variable stopCv_;
    bool stopping_ = false;
    bool vanished_ = false;
    std::list<std::unique_ptr<Connection>> connections_;
    std::shared_ptr<Session> current_;
    std::uint32_t nextConnectionNumber_ = 1;
    std::list<std::thread> workers_;
};

}  // namespace klik::ptp
