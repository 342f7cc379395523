#include "ptpip/PtpIpCommandChannel.h"

#include <algorithm>

#include "ptpip/PtpCodes.h"

namespace klik::ptp {

namespace {

// The camera's GUID in the init acknowledgement.
constexpr std::uint8_t kCameraGuid[16] = {0x6b, 0x6c, 0x69, 0x6b, 0x2d, 0x70, 0x74, 0x70,
                                          0x69, 0x70, 0x2d, 0x63, 0x61, 0x6d, 0x00, 0x01};

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%04X", v);
    return buf;
}

}  // namespace

PtpIpCommandChannel::PtpIpCommandChannel(PtpCamera& camera, std::uint32_t connectionNumber)
    : camera_(camera), connection_(connectionNumber) {}

ChannelOutput PtpIpCommandChannel::protocolError(const std::string& why) {
    ChannelOutput out;
    out.close = true;
    out.log = "command connection closed: " + why;
    return out;
}

ChannelOutput PtpIpCommandChannel::onPacket(const Packet& packet) {
    if (packet.type == kPing) {
        ChannelOutput out;
        out.segments.push_back({makePacket(kPong, {}), nullptr, 0, 0, 0, false});
        return out;
    }
    switch (state_) {
        case State::AwaitInit: {
            if (packet.type != kInitCommandRequest)
                return protocolError("the first packet is not an init command request");
            auto req = parseInitCommandRequest(packet.payload);
            if (!req) return protocolError("malformed init command request");
            hostName_ = req->hostName;
            state_ = State::Idle;
            ChannelOutput out;
            out.segments.push_back({makeInitCommandAck(connection_, kCameraGuid,
                                                       camera_.config().identity.friendlyName),
                                    nullptr, 0, 0, 0, false});
            out.log = "host \"" + hostName_ + "\" connected";
            return out;
        }
        case State::Idle: {
            if (packet.type == kCancel) return {};
            if (packet.type != kCommandRequest)
                return protocolError("packet type " + std::to_string(packet.type) +
                                     " where an operation request was expected");
            auto req = parseCommandRequest(packet.payload);
            if (!req) return protocolError("malformed operation request");
            if (req->dataPhase == kDataPhaseOut) {
                pending_ = *req;
                dataIn_.clear();
                expected_ = received_ = 0;
                state_ = State::AwaitStartData;
                return {};
            }
            return perform(*req, nullptr);
        }
        case State::AwaitStartData: {
            if (packet.type == kCancel) {
                state_ = State::Idle;
                return {};
            }
            auto start = packet.type == kStartData ? parseStartData(packet.payload) : std::nullopt;
            if (!start) return protocolError("expected the start of a data phase");
            if (start->transactionID != pending_.c.transactionID)
                return protocolError("data phase for another transaction");
            expected_ = start->totalLength;
            state_ = State::ReceivingData;
            return {};
        }
        case State::ReceivingData: {
            if (packet.type == kCancel) {
                state_ = State::Idle;
                return {};
            }
            if (packet.type != kData && packet.type != kEndData)
                return protocolError("packet type " + std::to_string(packet.type) +
                                     " inside a data phase");
            ByteReader r(packet.payload);
            std::uint32_t tid = 0;
            if (!r.u32(tid) || tid != pending_.c.transactionID)
                return protocolError("data packet for another transaction");
            received_ += r.remaining();
            if (received_ > expected_) return protocolError("more data than announced");
            const std::size_t room = kMaxDataIn - std::min(kMaxDataIn, dataIn_.size());
            dataIn_.insert(dataIn_.end(), r.here(), r.here() + std::min(room, r.remaining()));
            if (packet.type == kData) return {};
            state_ = State::Idle;
            if (received_ != expected_) {
                ChannelOutput out;
                Container resp;
                resp.code = kIncompleteTransfer;
                resp.transactionID = pending_.c.transactionID;
                out.segments.push_back({makeResponse(resp), nullptr, 0, 0, 0, false});
                return out;
            }
            if (received_ > kMaxDataIn) {
                ChannelOutput out;
                Container resp;
                resp.code = kGeneralError;
                resp.transactionID = pending_.c.transactionID;
                out.segments.push_back({makeResponse(resp), nullptr, 0, 0, 0, false});
                out.log = "refused " + std::to_string(received_) + " bytes of data for " +
                          hex(pending_.c.code);
                return out;
            }
            return perform(pending_, &dataIn_);
        }
    }
    return protocolError("unknown state");
}

ChannelOutput PtpIpCommandChannel::perform(const CommandRequest& req, const Bytes* dataIn) {
    Operation op;
    op.code = req.c.code;
    op.transactionID = req.c.transactionID;
    op.params.assign(req.c.params, req.c.params + req.c.paramCount);
    op.dataIn = dataIn;
    OperationResult r = camera_.perform(op);

    ChannelOutput out;
    const double delay = camera_.config().faults.responseDelay + r.delay;
    const std::uint32_t tid = req.c.transactionID;
    if (r.data) {
        out.segments.push_back({makeStartData(tid, r.length), nullptr, 0, 0, delay, false});
        std::size_t sendable = r.length;
        if (auto cut = camera_.takeDropPoint(r)) {
            sendable = *cut - r.offset;
            out.close = true;
            out.log = "download of " + std::to_string(r.data->size()) + " bytes cut after byte " +
                      std::to_string(*cut) + " (fault)";
        }
        std::size_t done = 0;
        do {
            const std::size_t n = std::min(kDataChunk, r.length - done);
            const bool last = done + n == r.length;
            if (out.close && done + n > sendable) {
                // The cut falls in this packet: its header and the bytes up
                // to the cut go out, then the connection drops.
                out.segments.push_back({makeDataHeader(last ? kEndData : kData, tid, n), r.data,
                                        r.offset + done, sendable - done, 0, r.objectDownload});
                return out;
            }
            out.segments.push_back({makeDataHeader(last ? kEndData : kData, tid, n), r.data,
                                    r.offset + done, n, 0, r.objectDownload});
            done += n;
        } while (done < r.length);
    }
    Container resp;
    resp.code = r.code;
    resp.transactionID = tid;
    resp.paramCount = static_cast<unsigned>(std::min<std::size_t>(5, r.params.size()));
    std::copy_n(r.params.begin(), resp.paramCount, resp.params);
    out.segments.push_back({makeResponse(resp), nullptr, 0, 0, r.data ? 0 : delay, false});
    out.events = std::move(r.events);
    if (r.captureStarted) out.captureTransaction = tid;
    if (r.code != kOK) out.log = "operation " + hex(req.c.code) + " answered " + hex(r.code);
    return out;
}

Bytes runCommandStream(PtpCamera& camera, const std::uint8_t* data, std::size_t size) {
    PacketDecoder decoder(PtpIpCommandChannel::kMaxPacket);
    PtpIpCommandChannel channel(camera, 1);
    Bytes sent;
    // Fed in pieces, as reads from a socket arrive.
    std::size_t at = 0;
    while (at < size) {
        const std::size_t n = std::min<std::size_t>(size - at, 1 + (data[at] % 64));
        if (!decoder.feed(data + at, n)) break;
        at += n;
        while (auto p = decoder.next()) {
            ChannelOutput out = channel.onPacket(*p);
            for (const Segment& s : out.segments) {
                sent.insert(sent.end(), s.head.begin(), s.head.end());
                if (s.body)
                    sent.insert(sent.end(), s.body->begin() + static_cast<std::ptrdiff_t>(s.offset),
                                s.body->begin() + static_cast<std::ptrdiff_t>(s.offset + s.length));
            }
            if (out.close) return sent;
            if (out.captureTransaction) camera.completeCapture(*out.captureTransaction);
        }
        if (decoder.failed()) break;
    }
    return sent;
}

}  // namespace klik::ptp
