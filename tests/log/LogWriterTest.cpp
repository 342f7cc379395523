// The line format, levels, mirroring, the pending buffer and opening the
// log file.

#include <sys/stat.h>
#include <unistd.h>

#include <regex>

#include "LogFixture.h"
#include "foundation/Diagnostics.h"
#include "log/Log.h"

namespace klik::test {
namespace {

using LogWriterTest = LogTest;

TEST_F(LogWriterTest, LinesHaveTagStampAndMessageEachLevelItsTagAndTheNameWhenAsked) {
    GLIMRA_Log::setApplicationName("Klik_Kiosk");
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("camera ready");
    for (unsigned level : {0u, 1u, 2u, 3u, 4u, 7u, 1000u})
        GLIMRA_Log::logLevel(level, "level " + std::to_string(level));
    GLIMRA_Log::err("no card");
    GLIMRA_Log::errf("code %d", 42);
    GLIMRA_Log::setShouldLogAppName(true);
    GLIMRA_Log::debug("with");
    const std::string text = readFile(logPath());
    EXPECT_TRUE(std::regex_match(text.substr(0, text.find('\n') + 1),
                                 std::regex(std::string(kStampedLinePrefix) + "camera ready\n")))
        << text;
    const auto lines = linesOf(text);
    ASSERT_EQ(lines.size(), 11u);
    const char* tags[] = {"D ", "I ", "D ", "D2 ", "E ", "W ", "D ", "D ", "E ", "E ", "D "};
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(lines[i].rfind(tags[i], 0), 0u) << lines[i];
    EXPECT_EQ(messageOf(lines[6]), "level 7");
    EXPECT_EQ(messageOf(lines[8]), "no card");
    EXPECT_EQ(messageOf(lines[9]), "code 42");
    EXPECT_TRUE(std::regex_match(lines[10],
                                 std::regex(std::string(kStampedLinePrefix) + "Klik_Kiosk: with")))
        << lines[10];
    const std::string stamp = GLIMRA_Log::logDateString();
    EXPECT_TRUE(std::regex_match(
        stamp, std::regex(R"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\.\d{3} [+-]\d{4}\])")))
        << stamp;
}

TEST_F(LogWriterTest, MessagesAreWrittenVerbatimOneLineEach) {
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("a\nb\n");
    GLIMRA_Log::debug("\n");
    GLIMRA_Log::debugf("x=%d\ny=%d", 1, 2);
    GLIMRA_Log::debug("100%d done %s %%");
    GLIMRA_Log::logLevel(3, "%n%n%n");
    GLIMRA_Log::debugf("%d%%", 5);
    const auto lines = linesOf(readFile(logPath()));
    const std::vector<std::string> messages = {
        "a", "b", "", "", "", "x=1", "y=2", "100%d done %s %%", "%n%n%n", "5%"};
    ASSERT_EQ(lines.size(), messages.size());
    for (size_t i = 0; i < lines.size(); ++i) EXPECT_EQ(messageOf(lines[i]), messages[i]) << i;
    EXPECT_TRUE(
        std::regex_match(lines[2] + "\n", std::regex(std::string(kStampedLinePrefix) + "\n")));
    const std::string big(5000, 'q');
    EXPECT_EQ(stringWithFormat("<%s>", big.c_str()), "<" + big + ">");
    EXPECT_EQ(stringWithFormat("%s-%d", "a", 7), "a-7");
}

TEST_F(LogWriterTest, MirroringUsesLongNames) {
    StderrCapture capture;
    GLIMRA_Log::setApplicationName("Klik_Kiosk");
    GLIMRA_Log::setShouldLogToStdErr(true);
    GLIMRA_Log::debug("camera ready");
    GLIMRA_Log::err("no card");
    GLIMRA_Log::logLevel(0, "i");
    GLIMRA_Log::logLevel(2, "d2");
    GLIMRA_Log::logLevel(4, "w");
    GLIMRA_Log::logLevel(9, "nine");
    GLIMRA_Log::debug("50%d");
    EXPECT_EQ(capture.text(),
              "DEBUG: Klik_Kiosk: camera ready\n"
              "ERROR: no card\n"
              "INFO: i\n"
              "DEBUG2: Klik_Kiosk: d2\n"
              "WARN: w\n"
              "DEBUG: Klik_Kiosk: nine\n"
              "DEBUG: Klik_Kiosk: 50%d\n");
}

TEST_F(LogWriterTest, PendingLinesReachTheFileWhenItOpens) {
    {
        StderrCapture capture;
        GLIMRA_Log::setShouldLogToStdErr(true);
        GLIMRA_Log::debug("early one");
        GLIMRA_Log::err("early two");
        EXPECT_NE(capture.text().find("DEBUG: "), std::string::npos);
        // Still only pending: the file does not exist yet.
        EXPECT_EQ(readFile(logPath()), "");
        ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
        GLIMRA_Log::debug("after");
    }
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(messageOf(lines[0]), "early one");
    EXPECT_EQ(lines[1].substr(0, 2), "E ");
    EXPECT_EQ(messageOf(lines[2]), "after");
}

TEST_F(LogWriterTest, PendingBufferDropsItsOldestTextPastTheLimit) {
    const std::string filler(60, 'f');
    const int count = 14000;  // about 1.3 million characters in all
    {
        StderrCapture capture;
        GLIMRA_Log::setShouldLogToStdErr(true);
        for (int i = 0; i < count; ++i) GLIMRA_Log::debug("n" + std::to_string(i) + " " + filler);
        GLIMRA_Log::setShouldLogToStdErr(false);
    }
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    const std::string text = readFile(logPath());
    const size_t lineLength = linesOf(text).back().size() + 1;
    EXPECT_LE(text.size(), 1000000u + lineLength);
    EXPECT_GT(text.size(), 1000000u - 10000u);
    EXPECT_EQ(text.find("n0 "), std::string::npos);
    // After the (possibly cut) first line, whole consecutive lines up to the last.
    auto lines = linesOf(text.substr(text.find('\n') + 1));
    const int first = std::stoi(messageOf(lines.front()).substr(1));
    // Built once: a regex per line makes this test take minutes in a
    // sanitizer build.
    const std::regex stampedLine(std::string(kStampedLinePrefix) + "n\\d+ f{60}");
    for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_TRUE(std::regex_match(lines[i], stampedLine)) << lines[i];
        ASSERT_EQ(messageOf(lines[i]),
                  "n" + std::to_string(first + static_cast<int>(i)) + " " + filler);
    }
    EXPECT_EQ(first + static_cast<int>(lines.size()), count);
}

TEST_F(LogWriterTest, TheFirstFileOpenedIsKeptUnderItsStandardPathWithMode0664) {
    GLIMRA_Log::debug("lost before the file");
    ::mkdir(dir.file("sub").c_str(), 0755);
    const mode_t old = ::umask(077);
    const bool opened = GLIMRA_Log::setLogFile(dir.path() + "/sub/.././Klik_Kiosk.log");
    ::umask(old);
    ASSERT_TRUE(opened);
    EXPECT_EQ(GLIMRA_Log::logFilePath(), logPath());
    struct stat st {};
    ASSERT_EQ(::stat(logPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_FALSE(GLIMRA_Log::setLogFile(dir.file("other.log")));
    EXPECT_EQ(GLIMRA_Log::logFilePath(), logPath());
    GLIMRA_Log::debug("kept");
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(messageOf(lines[0]), "kept");
    EXPECT_EQ(readFile(dir.file("other.log")), "");
}

TEST_F(LogWriterTest, FailedOpenIsReportedAndLeavesNoFile) {
    StderrCapture capture;
    GLIMRA_Log::setShouldLogToStdErr(true);
    const std::string bad = dir.file("missing/folder/k.log");
    EXPECT_FALSE(GLIMRA_Log::setLogFile(bad));
    EXPECT_FALSE(GLIMRA_Log::setLogFile(""));
    EXPECT_EQ(GLIMRA_Log::logFilePath(), "");
    const std::string expected =
        "Failed to open log file at " + bad + "; error 2 \"No such file or directory\"";
    EXPECT_EQ(GLIMRA_Log::lastOpenError(), expected);
    const std::string err = capture.text();
    EXPECT_NE(err.find("setLogFile - redirecting log to path = [" + bad + "]..."),
              std::string::npos);
    EXPECT_NE(err.find("DEBUG: "), std::string::npos);
    EXPECT_NE(err.find(": " + expected + "\n"), std::string::npos) << err;
    // A later good path still opens, and the pending lines arrive.
    EXPECT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    EXPECT_NE(readFile(logPath()).find(expected), std::string::npos);
}

TEST_F(LogWriterTest, StandardErrorIsRedirectedIntoTheLog) {
    GLIMRA_Log::setRedirectsStdErr(true);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("own line");
    const char console[] = "console line\n";
    ASSERT_EQ(::write(STDERR_FILENO, console, sizeof console - 1), ssize_t(sizeof console - 1));
    GLIMRA_Log::debug("own again");
    struct stat logStat {
    }, errStat{};
    ASSERT_EQ(::stat(logPath().c_str(), &logStat), 0);
    ASSERT_EQ(::fstat(STDERR_FILENO, &errStat), 0);
    EXPECT_EQ(errStat.st_ino, logStat.st_ino);
    GLIMRA_Log::resetForTesting();  // gives standard error back
    ASSERT_EQ(::fstat(STDERR_FILENO, &errStat), 0);
    EXPECT_FALSE(errStat.st_ino == logStat.st_ino && errStat.st_dev == logStat.st_dev);
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(messageOf(lines[0]), "own line");
    EXPECT_EQ(lines[1], "console line");
    EXPECT_EQ(messageOf(lines[2]), "own again");
}

TEST_F(LogWriterTest, StandardErrorStaysWhileMirroring) {
    GLIMRA_Log::setRedirectsStdErr(true);
    StderrCapture capture;
    GLIMRA_Log::setShouldLogToStdErr(true);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("both");
    EXPECT_NE(capture.text().find(": both\n"), std::string::npos);
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(messageOf(lines[0]), "both");
}

// Under systemd the unit's standard error is the journal (JOURNAL_STREAM
// names it): the log's lines reach it with their priority as well as the
// file, though standard error itself now points at the file.
TEST_F(LogWriterTest, LinesAlsoReachTheJournalWhenStandardErrorWasIt) {
    GLIMRA_Log::setRedirectsStdErr(true);
    StderrCapture journal;
    struct stat st {};
    ASSERT_EQ(::fstat(STDERR_FILENO, &st), 0);
    const std::string stream = std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    ::setenv("JOURNAL_STREAM", stream.c_str(), 1);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("camera ready");
    GLIMRA_Log::err("camera gone");
    const char console[] = "console only\n";
    ASSERT_EQ(::write(STDERR_FILENO, console, sizeof console - 1), ssize_t(sizeof console - 1));
    GLIMRA_Log::resetForTesting();
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    ::unsetenv("JOURNAL_STREAM");
    // setLogFile's own console line reaches standard error before the
    // redirection; the log's lines follow.
    std::vector<std::string> sent;
    for (const auto& line : linesOf(journal.text()))
        if (line.find("setLogFile - redirecting") == std::string::npos) sent.push_back(line);
    ASSERT_EQ(sent.size(), 2u) << journal.text();
    EXPECT_EQ(sent[0].rfind("<7>D [", 0), 0u) << sent[0];
    EXPECT_EQ(messageOf(sent[0].substr(3)), "camera ready");
    EXPECT_EQ(sent[1].rfind("<3>E [", 0), 0u) << sent[1];
    EXPECT_EQ(messageOf(sent[1].substr(3)), "camera gone");
    // The file has the same lines without the priority, and the console's.
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], sent[0].substr(3));
    EXPECT_EQ(lines[2], "console only");
}

TEST_F(LogWriterTest, AnotherJournalStreamThanStandardErrorGetsNothing) {
    GLIMRA_Log::setRedirectsStdErr(true);
    StderrCapture notJournal;
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    ::setenv("JOURNAL_STREAM", "1:1", 1);
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    GLIMRA_Log::debug("file only");
    GLIMRA_Log::resetForTesting();
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the test changes it before any thread starts
    ::unsetenv("JOURNAL_STREAM");
    EXPECT_EQ(notJournal.text().find("file only"), std::string::npos) << notJournal.text();
    EXPECT_EQ(linesOf(readFile(logPath())).size(), 1u);
}

TEST_F(LogWriterTest, FoundationDiagnosticsReachTheOpenLog) {
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    diagnostic("settings file unreadable");
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(messageOf(lines[0]), "settings file unreadable");
    GLIMRA_Log::resetForTesting();
    StderrCapture capture;
    diagnostic("back on stderr");
    EXPECT_EQ(capture.text(), "back on stderr\n");
}

}  // namespace
}  // namespace klik::test
