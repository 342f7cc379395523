#include "ptpip/PtpIpCommandChannel.h"

#include <gtest/gtest.h>

#include <random>

#include "FakePictures.h"
#include "TestHost.h"

namespace klik::ptp {
namespace {

using test::FakePictures;
using test::flatten;
using test::TestHost;

Bytes request(std::uint32_t phase, std::uint16_t code, std::uint32_t tid,
              const std::vector<std::uint32_t>& params = {}) {
    ByteWriter w;
    w.u32(phase);
    w.u16(code);
    w.u32(tid);
    for (auto p : params) w.u32(p);
    return w.take();
}

TEST(PtpIpCommandChannel, TheFirstPacketMustBeTheInitRequest) {
    PtpCamera camera({}, std::make_shared<FakePictures>());
    PtpIpCommandChannel channel(camera, 3);
    ChannelOutput out = channel.onPacket({kCommandRequest, request(1, kGetDeviceInfo, 0)});
    EXPECT_TRUE(out.close);
    EXPECT_TRUE(out.segments.empty());

    PtpIpCommandChannel second(camera, 3);
    EXPECT_TRUE(second.onPacket({kInitCommandRequest, {1, 2, 3}}).close);  // malformed

    TestHost host(camera);
    EXPECT_EQ(host.init(), 7u);
    EXPECT_EQ(host.channel().hostName(), "testhost");
    // A ping is answered at any time.
    ChannelOutput pong = host.channel().onPacket({kPing, {}});
    EXPECT_EQ(flatten(pong.segments), makePacket(kPong, {}));
}

TEST(PtpIpCommandChannel, DataPhasesMustMatchTheirRequestAndAnnouncedLength) {
    PtpCamera camera({}, std::make_shared<FakePictures>());
    auto fresh = [&] {
        auto c = std::make_unique<PtpIpCommandChannel>(camera, 1);
        ByteWriter w;
        for (int i = 0; i < 16; ++i) w.u8(0);
        w.nullTerminatedUcs2("h");
        c->onPacket({kInitCommandRequest, w.take()});
        c->onPacket({kCommandRequest, request(1, kOpenSession, 0, {1})});
        c->onPacket({kCommandRequest, request(2, kSetDevicePropValue, 1, {kExposureIndex})});
        return c;
    };
    auto start = [](std::uint32_t tid, std::uint64_t n) {
        ByteWriter w;
        w.u32(tid);
        w.u64(n);
        return Packet{kStartData, w.take()};
    };
    auto data = [](std::uint32_t type, std::uint32_t tid, Bytes b) {
        ByteWriter w;
        w.u32(tid);
        w.bytes(b.data(), b.size());
        return Packet{type, w.take()};
    };

    auto a = fresh();
    EXPECT_TRUE(a->onPacket(start(9, 2)).close);  // another transaction
    camera.endSession();

    auto b = fresh();
    EXPECT_FALSE(b->onPacket(start(1, 2)).close);
    EXPECT_TRUE(b->onPacket(data(kEndData, 1, {1, 2, 3})).close);  // more than announced
    camera.endSession();

    auto c = fresh();
    c->onPacket(start(1, 4));
    ChannelOutput shortData = c->onPacket(data(kEndData, 1, {0x90, 0x01}));
    ASSERT_EQ(shortData.segments.size(), 1u);
    EXPECT_FALSE(shortData.close);
    Bytes resp = flatten(shortData.segments);
    EXPECT_EQ(resp[8] | resp[9] << 8, kIncompleteTransfer);
    camera.endSession();

    // Split in two packets, the value arrives whole.
    auto d = fresh();
    d->onPacket(start(1, 2));
    d->onPacket(data(kData, 1, {0x90}));
    ChannelOutput ok = d->onPacket(data(kEndData, 1, {0x01}));
    resp = flatten(ok.segments);
    EXPECT_EQ(resp[8] | resp[9] << 8, kOK);
    camera.endSession();

    // Oversized uploads are read, refused, and the connection stays usable.
    auto e = fresh();
    const std::size_t big = PtpIpCommandChannel::kMaxDataIn + 10;
    e->onPacket(start(1, big));
    ChannelOutput refused = e->onPacket(data(kEndData, 1, Bytes(big, 0)));
    resp = flatten(refused.segments);
    EXPECT_EQ(resp[8] | resp[9] << 8, kGeneralError);
    EXPECT_FALSE(refused.close);
    ChannelOutput next = e->onPacket({kCommandRequest, request(1, kGetStorageIDs, 2)});
    EXPECT_FALSE(next.close);
    EXPECT_FALSE(next.segments.empty());
}

TEST(PtpIpCommandChannel, LargeObjectsTravelInSeveralDataPacketsAndSlowAnswersWait) {
    CameraConfig config;
    config.faults.responseDelay = 0.25;
    PtpCamera camera(config,
                     std::make_shared<FakePictures>(PtpIpCommandChannel::kDataChunk * 2 + 17));
    TestHost host(camera);
    host.init();
    host.op(kOpenSession, {1});
    test::Reply shot = host.op(kInitiateCapture, {0, 0});
    EXPECT_DOUBLE_EQ(shot.delay, 0.25);
    const std::uint32_t photo = camera.completeCapture(shot.transactionID)[0].params[0];
    test::Reply r = host.op(kGetObject, {photo});
    EXPECT_EQ(r.data, *camera.objectData(photo));
    EXPECT_DOUBLE_EQ(r.delay, 0.25);
    // start data, three data packets, response
    ASSERT_EQ(r.raw.segments.size(), 5u);
    EXPECT_TRUE(r.raw.segments[1].throttled);
    EXPECT_FALSE(r.raw.segments[4].throttled);
}

// Whatever a host sends, the camera answers only with whole, well-formed
// packets, never reads outside what it was sent, and never hangs. Streams:
// random bytes, and a valid session with bytes flipped, cut or repeated.
TEST(PtpIpCommandChannel, HostileStreamsGetWellFormedAnswersOrAClosedConnection) {
    Bytes valid;
    auto add = [&](std::uint32_t type, const Bytes& payload) {
        const Bytes p = makePacket(type, payload);
        valid.insert(valid.end(), p.begin(), p.end());
    };
    ByteWriter init;
    for (int i = 0; i < 16; ++i) init.u8(1);
    init.nullTerminatedUcs2("fuzz");
    init.u32(0x10000);
    add(kInitCommandRequest, init.take());
    add(kCommandRequest, request(1, kOpenSession, 0, {1}));
    add(kCommandRequest, request(1, kGetDeviceInfo, 1));
    add(kCommandRequest, request(1, kInitiateCapture, 2, {0, 0}));
    add(kCommandRequest, request(1, kGetObjectHandles, 3, {kAllStorages, 0, 0}));
    add(kCommandRequest, request(1, kGetObjectInfo, 4, {3}));
    add(kCommandRequest, request(1, kGetPartialObject, 5, {3, 10, 100}));
    add(kCommandRequest, request(1, kGetDevicePropDesc, 6, {kDateTime}));
    add(kCommandRequest, request(2, kSetDevicePropValue, 7, {kEnabledStreams}));
    add(kStartData, {7, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 0});
    add(kEndData, {7, 0, 0, 0, 1, 0, 0, 0});
    add(kCommandRequest, request(1, kGetStream, 8));
    add(kPing, {});

    std::mt19937 rng(20261207);
    auto check = [&](const Bytes& stream) {
        PtpCamera camera({}, std::make_shared<FakePictures>(300));
        const Bytes sent = runCommandStream(camera, stream.data(), stream.size());
        PacketDecoder d(1 << 20);
        ASSERT_TRUE(d.feed(sent.data(), sent.size()));
        while (d.next()) {
        }
        EXPECT_FALSE(d.failed());
        EXPECT_EQ(d.buffered(), 0u) << "a partial packet was sent";
    };
    {
        PtpCamera camera({}, std::make_shared<FakePictures>(300));
        const Bytes sent = runCommandStream(camera, valid.data(), valid.size());
        EXPECT_GT(sent.size(), 700u);
        EXPECT_EQ(camera.capturesCompleted(), 1u);
    }
    for (int i = 0; i < 300; ++i) {
        Bytes s(rng() % 200);
        for (auto& b : s) b = static_cast<std::uint8_t>(rng());
        // Half of them start like a real host, to get past the handshake.
        if (i % 2) s.insert(s.begin(), valid.begin(), valid.begin() + 46);
        check(s);
    }
    for (int i = 0; i < 600; ++i) {
        Bytes s = valid;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % s.size();
            switch (rng() % 3) {
                case 0:
                    s[at] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
                    break;
                case 1:
                    s[at] = static_cast<std::uint8_t>(rng() % 2 ? 0xFF : 0);
                    break;
                default:
                    s.resize(at);
                    break;
            }
            if (s.empty()) break;
        }
        check(s);
    }
}

}  // namespace
}  // namespace klik::ptp
