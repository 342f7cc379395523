#pragma once
// The command connection of one PTP/IP host, as a state machine over whole
// packets: the init handshake, operation requests with their data phases in
// either direction, responses, ping. It decides what is sent back, including
// the injected faults (busy answers, a cut download, slow answers); the
// socket layer only carries it out. No sockets here, so it is driven by
// tests and fuzzers with plain bytes.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ptpip/PtpCamera.h"
#include "ptpip/PtpIpPacket.h"

namespace klik::ptp {

// Bytes to send: `head`, then `length` bytes of `body` from `offset`.
struct Segment {
    Bytes head;
    std::shared_ptr<const Bytes> body;
    std::size_t offset = 0, length = 0;
    double delayBefore = 0;  // seconds to wait before sending it
    bool throttled = false;  // object data, paced by the download rate
};

struct ChannelOutput {
    std::vector<Segment> segments;
    std::vector<CameraEvent> events;                  // for the event channel, after the segments
    std::optional<std::uint32_t> captureTransaction;  // a capture to complete
    bool close = false;                               // close the connection after the segments
    std::string log;  // a line for the log, if something is worth saying
};

class PtpIpCommandChannel {
  public:
    // The largest packet a host may send (data phases are cut into packets).
    static constexpr std::size_t kMaxPacket = 1 << 20;
    // Host-to-camera data beyond this is read and discarded.
    static constexpr std::size_t kMaxDataIn = std::size_t{64} * 1024;
    // Object data goes out in Data packets of this size.
    static constexpr std::size_t kDataChunk = std::size_t{512} * 1024;

    PtpIpCommandChannel(PtpCamera& camera, std::uint32_t connectionNumber);

    // Handles one whole packet from the host. Any thread, one at a time.
    ChannelOutput onPacket(const Packet& packet);

    bool initialized() const { return state_ != State::AwaitInit; }
    const std::string& hostName() const { return hostName_; }

  private:
    enum class State { AwaitInit, Idle, AwaitStartData, ReceivingData };

    ChannelOutput perform(const CommandRequest& req, const Bytes* dataIn);
    ChannelOutput protocolError(const std::string& why);

    PtpCamera& camera_;
    std::uint32_t connection_;
    State state_ = State::AwaitInit;
    std::string hostName_;
    CommandRequest pending_;
    std::uint64_t expected_ = 0;
    std::uint64_t received_ = 0;
    Bytes dataIn_;
};

// Feeds a whole byte stream, as sent by a host on the command connection,
// through a decoder and a fresh channel on `camera`; returns what the
// camera sent back (head bytes and bodies concatenated) and stops at the
// first close. The entry point for fuzzing the packet handling.
Bytes runCommandStream(PtpCamera& camera, const std::uint8_t* data, std::size_t size);

}  // namespace klik::ptp
