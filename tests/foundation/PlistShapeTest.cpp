// Hostile and damaged property lists: every reader of the kiosk goes through
// plistFromBytes/plistFromFile, so refusing here protects settings, factory
// defaults, JPEG payloads and folder references alike.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "foundation/PlistShape.h"
#include "foundation/PropertyList.h"
#include "foundation/RegularFile.h"
#include "support/TempDir.h"

namespace klik {
namespace {

using test::TempDir;
using test::writeFile;

std::string nestedXml(int depth) {
    std::string s = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    for (int i = 0; i < depth; ++i) s += "<array>";
    s += "<string>x</string>";
    for (int i = 0; i < depth; ++i) s += "</array>";
    return s + "</plist>";
}

// A binary list of COUNT objects where object i is an array holding FANOUT
// references to object i+1 (the last one is an empty array). FANOUT 1 makes
// a chain COUNT deep; a larger FANOUT makes FANOUT^COUNT values once libplist
// expands the shared references. SELF makes the last array contain itself.
std::string binaryChain(unsigned count, unsigned fanout, bool self = false) {
    std::string out = "bplist00";
    std::vector<std::uint32_t> offsets;
    auto ref = [&](std::uint32_t r) {
        out.push_back(static_cast<char>(r >> 8));
        out.push_back(static_cast<char>(r & 0xff));
    };
    for (unsigned i = 0; i < count; ++i) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        const bool last = i + 1 == count;
        const unsigned n = last ? (self ? 1 : 0) : fanout;
        out.push_back(static_cast<char>(0xA0 | n));
        for (unsigned k = 0; k < n; ++k) ref(last ? i : i + 1);
    }
    const auto table = static_cast<std::uint64_t>(out.size());
    for (auto o : offsets)
        for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>((o >> s) & 0xff));
    std::string trailer(32, '\0');
    trailer[6] = 4;  // offset size
    trailer[7] = 2;  // reference size
    for (int i = 0; i < 8; ++i) {
        trailer[8 + i] = static_cast<char>((std::uint64_t{count} >> (56 - 8 * i)) & 0xff);
        trailer[24 + i] = static_cast<char>((table >> (56 - 8 * i)) & 0xff);
    }
    return out + trailer;
}

TEST(PlistShape, DeepOrExplodingListsAreRefusedBeforeParsingOrdinaryOnesStillRead) {
    PlistResult xml = plistFromBytes(nestedXml(10000));
    EXPECT_FALSE(xml.value);
    EXPECT_NE(xml.error.find("nested more than 64 levels"), std::string::npos) << xml.error;

    PlistResult chain = plistFromBytes(binaryChain(10000, 1));
    EXPECT_FALSE(chain.value);
    EXPECT_NE(chain.error.find("nested more than"), std::string::npos) << chain.error;

    // 14 children per level, 8 levels: 14^7 values after expansion.
    PlistResult fan = plistFromBytes(binaryChain(8, 14));
    EXPECT_FALSE(fan.value);
    EXPECT_NE(fan.error.find("more than 200000 values"), std::string::npos) << fan.error;

    PlistResult cycle = plistFromBytes(binaryChain(3, 1, /*self=*/true));
    EXPECT_FALSE(cycle.value);
    EXPECT_FALSE(cycle.error.empty());

    PlistResult big = plistFromBytes(std::string(9u << 20, ' '));
    EXPECT_FALSE(big.value);
    EXPECT_NE(big.error.find("too large"), std::string::npos);
    // Ordinary nesting and sharing still read.
    xml = plistFromBytes(nestedXml(60));
    ASSERT_TRUE(xml.value) << xml.error;
    chain = plistFromBytes(binaryChain(60, 1));
    ASSERT_TRUE(chain.value) << chain.error;
    EXPECT_TRUE(chain.value->isArray());
    fan = plistFromBytes(binaryChain(4, 10));  // 1,111 values
    ASSERT_TRUE(fan.value) << fan.error;
    EXPECT_EQ(fan.value->array()->size(), 10u);
}

// A binary list of one dictionary {key: value}, the texts given as their
// object bytes (marker and characters).
std::string binaryDict(const std::string& key, const std::string& value) {
    std::string out = "bplist00";
    const std::size_t dictAt = out.size();
    out += std::string("\xD1\x01\x02", 3);
    const std::size_t keyAt = out.size();
    out += key;
    const std::size_t valueAt = out.size();
    out += value;
    const std::size_t table = out.size();
    out += static_cast<char>(dictAt);
    out += static_cast<char>(keyAt);
    out += static_cast<char>(valueAt);
    std::string trailer(32, '\0');
    trailer[6] = 1;   // offset size
    trailer[7] = 1;   // reference size
    trailer[15] = 3;  // objects
    trailer[31] = static_cast<char>(table);
    return out + trailer;
}

TEST(PlistShape, DamagedTrailersTruncationsAndTextsHoldingANulAreErrorsNotCrashes) {
    const std::string good = binaryChain(5, 2);
    ASSERT_TRUE(plistFromBytes(good).value);
    for (std::size_t cut = 8; cut < good.size(); cut += 3)
        EXPECT_FALSE(plistFromBytes(good.substr(0, cut)).value) << "cut at " << cut;
    for (std::size_t at = good.size() - 32; at < good.size(); ++at) {
        std::string bad = good;
        bad[at] = static_cast<char>(0xff);
        PlistResult r = plistFromBytes(bad);  // must not crash; may still parse
        if (!r.value) {
            EXPECT_FALSE(r.error.empty());
        }
    }
    EXPECT_FALSE(plistFromBytes("<plist><dict><key>a</key>").value);
    // libplist asserts (ending the kiosk) on a key or string with a NUL.
    const std::string asciiNul(
        "\x52"
        "a\0",
        3),
        utf16Nul("\x61\0\0", 3);
    for (const auto& [key, value] :
         {std::pair{asciiNul, std::string("\x51v")}, std::pair{std::string("\x51k"), asciiNul},
          std::pair{utf16Nul, std::string("\x51v")}, std::pair{std::string("\x51k"), utf16Nul}}) {
        PlistResult r = plistFromBytes(binaryDict(key, value));
        EXPECT_FALSE(r.value);
        EXPECT_NE(r.error.find("NUL character"), std::string::npos) << r.error;
    }
    // A text that runs past the object table is damage, not a read past the end.
    EXPECT_FALSE(plistFromBytes(binaryDict("\x5F\x10\x7F", "\x51v")).value);
    // Ordinary texts, ASCII and UTF-16, still read.
    PlistResult ok =
        plistFromBytes(binaryDict("\x52"
                                  "ab",
                                  std::string("\x61\0\x76", 3)));
    ASSERT_TRUE(ok.value) << ok.error;
    ASSERT_TRUE(ok.value->dictionary());
    EXPECT_EQ(ok.value->dictionary()->at("ab").stringOr(), "v");
}

TEST(PlistShape, OnlyRegularFilesOfBoundedSizeAreRead) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.plist"));
    PlistResult d = plistFromFile(dir.file("folder.plist"));
    EXPECT_FALSE(d.value);
    EXPECT_NE(d.error.find("not a regular file"), std::string::npos) << d.error;

    // A FIFO with no writer must not block the reader.
    ASSERT_EQ(::mkfifo(dir.file("pipe.plist").c_str(), 0600), 0);
    PlistResult f = plistFromFile(dir.file("pipe.plist"));
    EXPECT_FALSE(f.value);
    EXPECT_NE(f.error.find("not a regular file"), std::string::npos) << f.error;

    writeFile(dir.file("big"), std::string(2048, 'x'));
    FileReadResult big = readRegularFile(dir.file("big"), 1024);
    EXPECT_FALSE(big.ok);
    EXPECT_NE(big.error.find("too large"), std::string::npos);
    FileReadResult ok = readRegularFile(dir.file("big"), 2048);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.bytes.size(), 2048u);
}

}  // namespace
}  // namespace klik
