#pragma once
// PTP/IP framing: every packet is a 32-bit length (header included), a
// 32-bit type and a payload. PacketDecoder cuts a byte stream into packets,
// refusing lengths below the header's size or above a limit, so a hostile
// peer can neither make it read outside its buffer nor grow it without
// bound. The builders make the packets the camera sends.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "ptpip/PtpBytes.h"

namespace klik::ptp {

constexpr std::size_t kHeaderSize = 8;

struct Packet {
    std::uint32_t type = 0;
    Bytes payload;
};

class PacketDecoder {
  public:
    // `maxPacket`: the largest whole packet (header included) accepted.
    explicit PacketDecoder(std::size_t maxPacket) : max_(maxPacket) {}

    // Takes the next bytes of the stream. False once the stream is
    // malformed (then error() says why and nothing more is decoded).
    bool feed(const std::uint8_t* data, std::size_t size);
    // The next whole packet, if one has arrived.
    std::optional<Packet> next();

    bool failed() const { return !error_.empty(); }
    const std::string& error() const { return error_; }
    // Bytes received but not yet returned as packets.
    std::size_t buffered() const { return buffer_.size() - start_; }

  private:
    std::size_t max_;
    Bytes buffer_;
    std::size_t start_ = 0;
    std::string error_;
};

// One whole packet of `type` around `payload`.
Bytes makePacket(std::uint32_t type, const Bytes& payload);

// The parts of an operation request, response or event.
struct Container {
    std::uint16_t code = 0;
    std::uint32_t transactionID = 0;
    std::uint32_t params[5] = {0, 0, 0, 0, 0};
    unsigned paramCount = 0;
};

struct CommandRequest {
    std::uint32_t dataPhase = 0;
    Container c;
};

// Parses a CommandRequest payload (dataphase, code, transaction, 0-5
// parameters; bytes past the fifth parameter or a partial one are ignored).
std::optional<CommandRequest> parseCommandRequest(const Bytes& payload);

struct InitCommandRequest {
    std::uint8_t guid[16] = {};
    std::string hostName;
    std::uint32_t version = 0;
};
std::optional<InitCommandRequest> parseInitCommandRequest(const Bytes& payload);

// StartData payload: transaction id and total length of the data phase.
struct StartData {
    std::uint32_t transactionID = 0;
    std::uint64_t totalLength = 0;
};
std::optional<StartData> parseStartData(const Bytes& payload);

Bytes makeResponse(const Container& c);
Bytes makeEvent(const Container& c);
Bytes makeInitCommandAck(std::uint32_t connection, const std::uint8_t (&guid)[16],
                         const std::string& name);
Bytes makeInitEventAck();
Bytes makeInitFail(std::uint32_t reason);
Bytes makeStartData(std::uint32_t transactionID, std::uint64_t totalLength);
// The header and transaction id of a Data or EndData packet carrying
// `payloadSize` bytes that follow it on the wire.
Bytes makeDataHeader(std::uint32_t type, std::uint32_t transactionID, std::size_t payloadSize);

}  // namespace klik::ptp
