// The hex dump layout of logData().

#include "LogFixture.h"
#include "log/Log.h"

namespace klik::test {
namespace {

class LogDataTest : public LogTest {
  protected:
    // The messages logData() adds for `bytes`, each checked to be a debug line.
    std::vector<std::string> dump(const Data& bytes) {
        if (GLIMRA_Log::logFilePath().empty()) {
            EXPECT_TRUE(GLIMRA_Log::setLogFile(logPath()));
        }
        GLIMRA_Log::logData(bytes);
        std::vector<std::string> messages;
        const auto lines = linesOf(readFile(logPath()));
        for (size_t i = seen_; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i].substr(0, 2), "D ");
            messages.push_back(messageOf(lines[i]));
        }
        seen_ = lines.size();
        return messages;
    }
    size_t seen_ = 0;
};

Data range(std::uint8_t first, size_t count) {
    Data d;
    for (size_t i = 0; i < count; ++i) d.push_back(static_cast<std::uint8_t>(first + i));
    return d;
}

TEST_F(LogDataTest, SixteenBytesALineWithHexOffsetsAndPrintableCharacters) {
    auto lines = dump(range(0x41, 17));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0],
              "00000000  41 42 43 44 45 46 47 48  49 4a 4b 4c 4d 4e 4f 50  |ABCDEFGHIJKLMNOP|");
    EXPECT_EQ(lines[1], "00000010  51" + std::string(1 + 7 * 3 + 1 + 8 * 3, ' ') + " |Q|");
    EXPECT_EQ(lines[0].size(), lines[1].size() + 15);

    Data d(32, 0);
    const Data letters = range(0x41, 16);
    d.insert(d.end(), letters.begin(), letters.end());
    lines = dump(d);
    ASSERT_EQ(lines.size(), 3u);
    // Repeated lines are not folded.
    EXPECT_EQ(lines[0].substr(8), lines[1].substr(8));
    EXPECT_EQ(lines[1].substr(0, 10), "00000010  ");
    EXPECT_EQ(lines[2],
              "00000020  41 42 43 44 45 46 47 48  49 4a 4b 4c 4d 4e 4f 50  |ABCDEFGHIJKLMNOP|");
    EXPECT_EQ(lines[0],
              "00000000  00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  |................|");

    // Only printable bytes show; a percent sign is doubled.
    lines = dump({0x25, 0x7f, 0x1f, 0x20, 0x7e, 0x24, 0x26, 0x80, 0xff, 0x0a});
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "00000000  25 7f 1f 20 7e 24 26 80  ff 0a" + std::string(18, ' ') +
                            "  |%%.. ~$&...|");
}

TEST_F(LogDataTest, EmptyDataWritesNothingAndTheRawPointerOverloadMatches) {
    EXPECT_TRUE(dump({}).empty());
    GLIMRA_Log::logData(nullptr, 5);
    EXPECT_EQ(readFile(logPath()), "");
    const char text[] = "0123456789abcdefXYZ";
    GLIMRA_Log::logData(text, 19);
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(messageOf(lines[0]).substr(60), "|0123456789abcdef|");
    EXPECT_EQ(messageOf(lines[1]).substr(0, 20), "00000010  58 59 5a  ");
    EXPECT_EQ(messageOf(lines[1]).substr(60), "|XYZ|");
}

}  // namespace
}  // namespace klik::test
