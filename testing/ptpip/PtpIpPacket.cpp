#include "ptpip/PtpIpPacket.h"

#include "ptpip/PtpCodes.h"

namespace klik::ptp {

bool PacketDecoder::feed(const std::uint8_t* data, std::size_t size) {
    if (failed()) return false;
    // Drop what has been consumed before growing, so the buffer stays
    // within one packet plus one read.
    if (start_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
    }
    buffer_.insert(buffer_.end(), data, data + size);
    if (buffer_.size() >= 4) {
        ByteReader r(buffer_);
        std::uint32_t length = 0;
        r.u32(length);
        if (length < kHeaderSize) {
            error_ = "packet length " + std::to_string(length) + " is shorter than its header";
            return false;
        }
        if (length > max_) {
            error_ = "packet length " + std::to_string(length) + " exceeds the limit of " +
                     std::to_string(max_);
            return false;
        }
    }
    return true;
}

std::optional<Packet> PacketDecoder::next() {
    if (failed() || buffered() < kHeaderSize) return std::nullopt;
    ByteReader r(buffer_.data() + start_, buffered());
    std::uint32_t length = 0, type = 0;
    r.u32(length);
    r.u32(type);
    if (length < kHeaderSize || length > max_) {
        error_ = "packet length " + std::to_string(length) + " is out of bounds";
        return std::nullopt;
    }
    if (buffered() < length) return std::nullopt;
    Packet p;
    p.type = type;
    p.payload.assign(buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + kHeaderSize),
                     buffer_.begin() + static_cast<std::ptrdiff_t>(start_ + length));
    start_ += length;
    // The next packet's length is checked as soon as its first word is here.
    if (buffered() >= 4) {
        ByteReader n(buffer_.data() + start_, buffered());
        std::uint32_t nextLength = 0;
        n.u32(nextLength);
        if (nextLength < kHeaderSize || nextLength > max_)
            error_ = "packet length " + std::to_string(nextLength) + " is out of bounds";
    }
    return p;
}

Bytes makePacket(std::uint32_t type, const Bytes& payload) {
    ByteWriter w;
    w.u32(static_cast<std::uint32_t>(kHeaderSize + payload.size()));
    w.u32(type);
    w.bytes(payload.data(), payload.size());
    return w.take();
}

std::optional<CommandRequest> parseCommandRequest(const Bytes& payload) {
    ByteReader r(payload);
    CommandRequest req;
    if (!r.u32(req.dataPhase) || !r.u16(req.c.code) || !r.u32(req.c.transactionID))
        return std::nullopt;
    while (req.c.paramCount < 5 && r.u32(req.c.params[req.c.paramCount])) ++req.c.paramCount;
    return req;
}

std::optional<InitCommandRequest> parseInitCommandRequest(const Bytes& payload) {
    ByteReader r(payload);
    InitCommandRequest req;
    for (auto& b : req.guid)
        if (!r.u8(b)) return std::nullopt;
    if (!r.nullTerminatedUcs2(req.hostName)) return std::nullopt;
    r.u32(req.version);  // optional: some hosts leave it out
    return req;
}

std::optional<StartData> parseStartData(const Bytes& payload) {
    ByteReader r(payload);
    StartData s;
    if (!r.u32(s.transactionID)) return std::nullopt;
    // The length is 64 bits; hosts that send only 32 are taken at their word.
    std::uint32_t lo = 0, hi = 0;
    if (!r.u32(lo)) return std::nullopt;
    r.u32(hi);
    s.totalLength = static_cast<std::uint64_t>(hi) << 32 | lo;
    return s;
}

namespace {
Bytes containerPayload(const Container& c) {
    ByteWriter w;
    w.u16(c.code);
    w.u32(c.transactionID);
    for (unsigned i = 0; i < c.paramCount && i < 5; ++i) w.u32(c.params[i]);
    return w.take();
}
}  // namespace

Bytes makeResponse(const Container& c) {
    return makePacket(kCommandResponse, containerPayload(c));
}

Bytes makeEvent(const Container& c) {
    Container e = c;
    if (e.paramCount > 3) e.paramCount = 3;
    return makePacket(kEvent, containerPayload(e));
}

Bytes makeInitCommandAck(std::uint32_t connection, const std::uint8_t (&guid)[16],
                         const std::string& name) {
    ByteWriter w;
    w.u32(connection);
    w.bytes(guid, 16);
    w.nullTerminatedUcs2(name);
    w.u32(0x00010000);  // protocol version 1.0
    return makePacket(kInitCommandAck, w.take());
}

Bytes makeInitEventAck() {
    return makePacket(kInitEventAck, {});
}

Bytes makeInitFail(std::uint32_t reason) {
    ByteWriter w;
    w.u32(reason);
    return makePacket(kInitFail, w.take());
}

Bytes makeStartData(std::uint32_t transactionID, std::uint64_t totalLength) {
    ByteWriter w;
    w.u32(transactionID);
    w.u64(totalLength);
    return makePacket(kStartData, w.take());
}

Bytes makeDataHeader(std::uint32_t type, std::uint32_t transactionID, std::size_t payloadSize) {
    ByteWriter w;
    w.u32(static_cast<std::uint32_t>(kHeaderSize + 4 + payloadSize));
    w.u32(type);
    w.u32(transactionID);
    return w.take();
}

}  // namespace klik::ptp
