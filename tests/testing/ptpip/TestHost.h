#pragma once
// A PTP/IP host in memory for protocol tests: sends operations to a command
// channel as packets and reads the camera's packets back the way a client
// library does (start data, data, end data, response).

#include <optional>
#include <string>
#include <vector>

#include "ptpip/PtpCodes.h"
#include "ptpip/PtpIpCommandChannel.h"

namespace klik::ptp::test {

struct Reply {
    std::uint16_t code = 0;
    std::uint32_t transactionID = 0;
    std::vector<std::uint32_t> params;
    Bytes data;
    bool hadData = false;
    bool closed = false;  // the camera closed the connection
    bool gotResponse = false;
    double delay = 0;   // summed delays before its packets
    ChannelOutput raw;  // the last output (events, capture)
};

inline Bytes flatten(const std::vector<Segment>& segments) {
    Bytes out;
    for (const Segment& s : segments) {
        out.insert(out.end(), s.head.begin(), s.head.end());
        if (s.body)
            out.insert(out.end(), s.body->begin() + static_cast<std::ptrdiff_t>(s.offset),
                       s.body->begin() + static_cast<std::ptrdiff_t>(s.offset + s.length));
    }
    return out;
}

class TestHost {
  public:
    explicit TestHost(PtpCamera& camera) : channel_(camera, 7) {}

    // The init handshake; the connection number from the ack.
    std::optional<std::uint32_t> init() {
        ByteWriter w;
        for (int i = 0; i < 16; ++i) w.u8(0xAB);
        w.nullTerminatedUcs2("testhost");
        w.u32(0x00010000);
        ChannelOutput out = channel_.onPacket({kInitCommandRequest, w.take()});
        const Bytes sent = flatten(out.segments);
        PacketDecoder d(1 << 20);
        d.feed(sent.data(), sent.size());
        auto p = d.next();
        if (!p || p->type != kInitCommandAck) return std::nullopt;
        ByteReader r(p->payload);
        std::uint32_t n = 0;
        r.u32(n);
        return n;
    }

    Reply op(std::uint16_t code, const std::vector<std::uint32_t>& params = {},
             const Bytes* dataOut = nullptr) {
        const std::uint32_t tid = nextTid_++;
        ByteWriter w;
        w.u32(dataOut ? kDataPhaseOut : kDataPhaseNoneOrIn);
        w.u16(code);
        w.u32(tid);
        for (auto p : params) w.u32(p);
        std::vector<Packet> packets{{kCommandRequest, w.take()}};
        if (dataOut) {
            ByteWriter s;
            s.u32(tid);
            s.u64(dataOut->size());
            packets.push_back({kStartData, s.take()});
            ByteWriter e;
            e.u32(tid);
            e.bytes(dataOut->data(), dataOut->size());
            packets.push_back({kEndData, e.take()});
        }
        Reply reply;
        Bytes sent;
        for (const Packet& p : packets) {
            reply.raw = channel_.onPacket(p);
            for (const Segment& s : reply.raw.segments) reply.delay += s.delayBefore;
            const Bytes b = flatten(reply.raw.segments);
            sent.insert(sent.end(), b.begin(), b.end());
            if (reply.raw.close) reply.closed = true;
        }
        read(sent, reply);
        return reply;
    }

    Reply setValue(std::uint16_t prop, const Bytes& value) {
        return op(kSetDevicePropValue, {prop}, &value);
    }

    PtpIpCommandChannel& channel() { return channel_; }

  private:
    static void read(const Bytes& sent, Reply& reply) {
        PacketDecoder d(64 << 20);
        d.feed(sent.data(), sent.size());
        while (auto p = d.next()) {
            ByteReader r(p->payload);
            if (p->type == kStartData) {
                reply.hadData = true;
            } else if (p->type == kData || p->type == kEndData) {
                std::uint32_t tid = 0;
                r.u32(tid);
                reply.data.insert(reply.data.end(), r.here(), r.here() + r.remaining());
            } else if (p->type == kCommandResponse) {
                reply.gotResponse = true;
                r.u16(reply.code);
                r.u32(reply.transactionID);
                std::uint32_t v = 0;
                while (r.u32(v)) reply.params.push_back(v);
            }
        }
        // A cut transfer leaves a partial packet behind: its bytes count too.
        if (reply.closed && d.buffered() > 12) {
            const std::size_t whole = sent.size() - d.buffered();
            reply.data.insert(reply.data.end(),
                              sent.begin() + static_cast<std::ptrdiff_t>(whole + 12), sent.end());
        }
    }

    PtpIpCommandChannel channel_;
    std::uint32_t nextTid_ = 0;
};

}  // namespace klik::ptp::test
