// Rolling the log file into its "_old" companion and the cap on the old log.

#include <sys/stat.h>

#include "LogFixture.h"
#include "log/Log.h"

namespace klik::test {
namespace {

constexpr size_t kThreshold = 1048576;
constexpr size_t kCap = 10485760;

using LogRollTest = LogTest;

// `count` lines "<tag> <n> xxxx...\n" of `width` bytes each.
std::string numberedLines(const std::string& tag, size_t count, size_t width) {
    std::string out;
    out.reserve(count * width);
    for (size_t i = 0; i < count; ++i) {
        std::string line = tag + " " + std::to_string(i) + " ";
        line.resize(width - 1, 'x');
        out += line;
        out += '\n';
    }
    return out;
}

// The old log that the cut leaves, computed from the whole concatenation.
std::string expectedCut(const std::string& all) {
    if (all.size() <= kCap) return all;
    size_t nl = all.find('\n', all.size() - kCap - 1);
    return nl == std::string::npos ? std::string() : all.substr(nl + 1);
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

TEST_F(LogRollTest, JustBelowTheThresholdIsNotRolled) {
    writeFile(logPath(), std::string(kThreshold - 1, 'a'));
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    EXPECT_EQ(readFile(logPath()).size(), kThreshold - 1);
    EXPECT_FALSE(exists(dir.file("Klik_Kiosk_old.log")));
}

TEST_F(LogRollTest, AtTheThresholdTheFileMovesIntoItsOldCompanion) {
    const std::string text = numberedLines("cur", kThreshold / 64, 64);
    ASSERT_EQ(text.size(), kThreshold);
    writeFile(logPath(), text);
    const mode_t oldMask = ::umask(077);
    const bool opened = GLIMRA_Log::setLogFile(logPath());
    ::umask(oldMask);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(SameBytes(readFile(dir.file("Klik_Kiosk_old.log")), text));
    EXPECT_TRUE(SameBytes(readFile(logPath()), ""));
    EXPECT_EQ(modeOf(dir.file("Klik_Kiosk_old.log")), 0664u);
    EXPECT_EQ(modeOf(logPath()), 0664u);
}

TEST_F(LogRollTest, RollingTellsWhatItDoesWhenMirroring) {
    writeFile(logPath(), std::string(kThreshold, '\n'));
    StderrCapture capture;
    GLIMRA_Log::setShouldLogToStdErr(true);
    GLIMRA_Log::rollLogFileIfNecessary(logPath());
    const std::string err = capture.text();
    EXPECT_NE(err.find(": Rolling log file.\n"), std::string::npos) << err;
    EXPECT_NE(err.find(": Rolled previous log file into " + dir.file("Klik_Kiosk_old.log") + "\n"),
              std::string::npos);
    EXPECT_NE(err.find(": Starting new log file at " + logPath() + "\n"), std::string::npos);
    // The pending buffer carries these lines into the file once it opens.
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(messageOf(lines[0]), "Rolling log file.");
}

TEST_F(LogRollTest, TheOldCompanionKeepsTheExtensionOrGetsLogOrIsGiven) {
    writeFile(dir.file("kiosklog"), std::string(kThreshold, 'k'));
    GLIMRA_Log::rollLogFileIfNecessary(dir.file("kiosklog"));
    EXPECT_EQ(readFile(dir.file("kiosklog_old.log")).size(), kThreshold);
    EXPECT_TRUE(SameBytes(readFile(dir.file("kiosklog")), ""));
    writeFile(dir.file("kiosk.txt"), "old text\n");
    GLIMRA_Log::rollLogFile(dir.file("kiosk.txt"), "", 1);
    EXPECT_TRUE(SameBytes(readFile(dir.file("kiosk_old.txt")), "old text\n"));

    const std::string path = dir.file("a.log");
    const std::string target = dir.file("archive.log");
    writeFile(target, "first run\n");
    writeFile(path, "second run\n");
    GLIMRA_Log::rollLogFile(path, target, 100);  // too small: nothing happens
    EXPECT_TRUE(SameBytes(readFile(path), "second run\n"));
    GLIMRA_Log::rollLogFile(path, target, 11);  // exactly at the size
    EXPECT_TRUE(SameBytes(readFile(target), "first run\nsecond run\n"));
    EXPECT_TRUE(SameBytes(readFile(path), ""));
    GLIMRA_Log::rollLogFile(dir.file("missing.log"), target, 0);
    EXPECT_TRUE(SameBytes(readFile(target), "first run\nsecond run\n"));
}

TEST_F(LogRollTest, OldLogIsCappedAtALineBoundary) {
    const std::string old = numberedLines("old", kCap / 80 + 1, 80);        // a little over 10 MiB
    const std::string cur = numberedLines("cur", 2 * kThreshold / 70, 70);  // about 2 MiB
    writeFile(dir.file("Klik_Kiosk_old.log"), old);
    writeFile(logPath(), cur);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    const std::string result = readFile(dir.file("Klik_Kiosk_old.log"));
    const std::string all = old + cur;
    EXPECT_LE(result.size(), kCap);
    EXPECT_GT(result.size(), kCap - 80);
    EXPECT_TRUE(SameBytes(result, expectedCut(all)));
    // It starts right after a line feed and ends with the current log's last line.
    ASSERT_LT(result.size(), all.size());
    ASSERT_GE(result.size(), cur.size());
    EXPECT_EQ(all[all.size() - result.size() - 1], '\n');
    EXPECT_TRUE(SameBytes(result.substr(result.size() - cur.size()), cur));
    EXPECT_TRUE(SameBytes(readFile(logPath()), ""));
}

TEST_F(LogRollTest, TheCutLeavesTheCapAtALineFeedNothingWithoutOneAndAllBelowTheCap) {
    // The byte at (length - cap - 1) is itself a line feed: the tail is the cap.
    std::string tail = numberedLines("t", kCap / 64, 64);
    ASSERT_EQ(tail.size(), kCap);
    const std::string head = std::string(3000, 'h') + "\n";
    const std::string all = head + tail;
    const size_t split = all.size() - kThreshold - 5;  // current file a little over 1 MiB
    writeFile(dir.file("Klik_Kiosk_old.log"), all.substr(0, split));
    writeFile(logPath(), all.substr(split));
    GLIMRA_Log::rollLogFileIfNecessary(logPath());
    EXPECT_TRUE(SameBytes(readFile(dir.file("Klik_Kiosk_old.log")), tail));
    // No line feed at all: an empty old log.
    writeFile(dir.file("Klik_Kiosk_old.log"), std::string(kCap, 'o'));
    writeFile(logPath(), std::string(kThreshold, 'c'));
    GLIMRA_Log::rollLogFileIfNecessary(logPath());
    EXPECT_TRUE(exists(dir.file("Klik_Kiosk_old.log")));
    EXPECT_TRUE(SameBytes(readFile(dir.file("Klik_Kiosk_old.log")), ""));
    EXPECT_TRUE(SameBytes(readFile(logPath()), ""));
    // Below the cap the old log keeps everything.
    const std::string old = numberedLines("old", 1000, 50);
    const std::string cur = numberedLines("cur", kThreshold / 64, 64);
    writeFile(dir.file("Klik_Kiosk_old.log"), old);
    writeFile(logPath(), cur);
    GLIMRA_Log::rollLogFileIfNecessary(logPath());
    EXPECT_TRUE(SameBytes(readFile(dir.file("Klik_Kiosk_old.log")), old + cur));
}

TEST_F(LogRollTest, UnwritableOldLogKeepsTheCurrentText) {
    // A folder standing where the old log should go cannot be replaced.
    ASSERT_EQ(::mkdir(dir.file("Klik_Kiosk_old.log").c_str(), 0755), 0);
    const std::string cur = numberedLines("cur", kThreshold / 64, 64);
    writeFile(logPath(), cur);
    StderrCapture capture;
    GLIMRA_Log::setShouldLogToStdErr(true);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    EXPECT_NE(
        capture.text().find(": Error writing old log file to " + dir.file("Klik_Kiosk_old.log")),
        std::string::npos);
    EXPECT_EQ(capture.text().find("Starting new log file"), std::string::npos);
    GLIMRA_Log::debug("appended");
    const std::string text = readFile(logPath());
    EXPECT_TRUE(SameBytes(text.substr(0, cur.size()), cur));
    EXPECT_NE(text.find("Error writing old log file"), std::string::npos);
    EXPECT_NE(text.find("appended"), std::string::npos);
}

}  // namespace
}  // namespace klik::test
