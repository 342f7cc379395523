#include "ptpip/PtpIpPacket.h"

#include <gtest/gtest.h>

#include "ptpip/PtpCodes.h"

namespace klik::ptp {
namespace {

TEST(PtpIpPacketDecoder, CutsAStreamIntoPacketsWhateverTheReadSizes) {
    Bytes stream = makePacket(kPing, {});
    const Bytes second = makePacket(kCommandRequest, {1, 0, 0, 0, 1, 0x10, 0, 0, 0, 0});
    stream.insert(stream.end(), second.begin(), second.end());

    PacketDecoder byteByByte(1024);
    std::vector<Packet> got;
    for (std::uint8_t b : stream) {
        ASSERT_TRUE(byteByByte.feed(&b, 1));
        while (auto p = byteByByte.next()) got.push_back(*p);
    }
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].type, kPing);
    EXPECT_TRUE(got[0].payload.empty());
    EXPECT_EQ(got[1].type, kCommandRequest);
    EXPECT_EQ(got[1].payload.size(), 10u);

    PacketDecoder allAtOnce(1024);
    ASSERT_TRUE(allAtOnce.feed(stream.data(), stream.size()));
    EXPECT_TRUE(allAtOnce.next());
    EXPECT_TRUE(allAtOnce.next());
    EXPECT_FALSE(allAtOnce.next());
    EXPECT_EQ(allAtOnce.buffered(), 0u);
}

TEST(PtpIpPacketDecoder, RefusesLengthsBelowTheHeaderOrAboveTheLimit) {
    const std::uint8_t tooShort[] = {7, 0, 0, 0, 1, 0, 0, 0};
    PacketDecoder a(1024);
    EXPECT_FALSE(a.feed(tooShort, sizeof tooShort));
    EXPECT_FALSE(a.next());
    EXPECT_NE(a.error().find("shorter"), std::string::npos);

    // A length announcing 4 GiB is refused before anything is buffered for it.
    const std::uint8_t huge[] = {0xFF, 0xFF, 0xFF, 0xFF, 6, 0, 0, 0};
    PacketDecoder b(1024);
    EXPECT_FALSE(b.feed(huge, sizeof huge));
    EXPECT_TRUE(b.failed());
    EXPECT_FALSE(b.feed(huge, sizeof huge));  // and stays failed

    // A bad length after a good packet: the good one is still handed out.
    Bytes stream = makePacket(kPing, {});
    stream.insert(stream.end(), {3, 0, 0, 0});
    PacketDecoder c(1024);
    c.feed(stream.data(), stream.size());
    EXPECT_TRUE(c.next());
    EXPECT_TRUE(c.failed());
    EXPECT_FALSE(c.next());
}

TEST(PtpBytes, ReadsNothingPastTheEnd) {
    const Bytes three = {1, 2, 3};
    ByteReader r(three);
    std::uint32_t v = 0;
    EXPECT_FALSE(r.u32(v));
    std::uint16_t h = 0;
    EXPECT_TRUE(r.u16(h));
    EXPECT_EQ(h, 0x0201);
    EXPECT_FALSE(r.u16(h));
    EXPECT_EQ(r.remaining(), 1u);

    // A string whose count claims more characters than there are bytes.
    const Bytes lying = {200, 'a', 0, 'b', 0};
    ByteReader s(lying);
    std::string text;
    EXPECT_FALSE(s.string(text));

    // A name without its terminating null.
    const Bytes open = {'a', 0, 'b'};
    ByteReader n(open);
    EXPECT_FALSE(n.nullTerminatedUcs2(text));
}

TEST(PtpBytes, StringsRoundTripAndAreCutToTheCountByteLimit) {
    ByteWriter w;
    w.string("");
    w.string("Klik");
    w.string(std::string(300, 'x'));
    ByteReader r(w.data());
    std::string a, b, c;
    ASSERT_TRUE(r.string(a));
    ASSERT_TRUE(r.string(b));
    ASSERT_TRUE(r.string(c));
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "Klik");
    EXPECT_EQ(c, std::string(254, 'x'));
    EXPECT_EQ(r.remaining(), 0u);
    EXPECT_EQ(w.data()[0], 0);  // the empty string is one zero byte
    EXPECT_EQ(w.data()[1], 5);  // "Klik" counts its terminator
}

TEST(PtpIpPacketParse, CommandRequestsTakeZeroToFiveParameters) {
    ByteWriter w;
    w.u32(1);
    w.u16(kGetObjectHandles);
    w.u32(42);
    for (std::uint32_t p = 1; p <= 6; ++p) w.u32(p);
    w.u8(9);  // a stray byte
    auto req = parseCommandRequest(w.data());
    ASSERT_TRUE(req);
    EXPECT_EQ(req->c.code, kGetObjectHandles);
    EXPECT_EQ(req->c.transactionID, 42u);
    EXPECT_EQ(req->c.paramCount, 5u);
    EXPECT_EQ(req->c.params[4], 5u);

    const Bytes shortOne = {1, 0, 0, 0, 1, 0x10, 0};
    EXPECT_FALSE(parseCommandRequest(shortOne));
}

TEST(PtpIpPacketParse, InitRequestsAndStartData) {
    ByteWriter w;
    for (int i = 0; i < 16; ++i) w.u8(static_cast<std::uint8_t>(i));
    w.nullTerminatedUcs2("host");
    w.u32(0x00010000);
    auto init = parseInitCommandRequest(w.data());
    ASSERT_TRUE(init);
    EXPECT_EQ(init->hostName, "host");
    EXPECT_EQ(init->guid[15], 15);
    EXPECT_EQ(init->version, 0x00010000u);

    Bytes truncated(w.data().begin(), w.data().begin() + 20);
    EXPECT_FALSE(parseInitCommandRequest(truncated));

    // libgphoto2 writes the 64-bit length as two 32-bit words.
    ByteWriter s;
    s.u32(7);
    s.u32(0x12345678);
    s.u32(1);
    auto start = parseStartData(s.data());
    ASSERT_TRUE(start);
    EXPECT_EQ(start->transactionID, 7u);
    EXPECT_EQ(start->totalLength, 0x112345678ull);
}

}  // namespace
}  // namespace klik::ptp
