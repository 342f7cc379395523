// Lines written from several threads at once arrive whole.

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <regex>
#include <set>
#include <thread>

#include "LogFixture.h"
#include "log/Log.h"

namespace klik::test {
namespace {

using LogConcurrencyTest = LogTest;

TEST_F(LogConcurrencyTest, LinesFromFourThreadsNeverMix) {
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    constexpr int kThreads = 4;
    constexpr int kLines = 5000;
    // Lines of different lengths, some long, so a split would show.
    auto payload = [](int t, int i) {
        return std::string(static_cast<size_t>(10 + (i * 7 + t) % 300), char('a' + t));
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t, &payload] {
            for (int i = 0; i < kLines; ++i)
                GLIMRA_Log::debug("t" + std::to_string(t) + " i" + std::to_string(i) + " " +
                                  payload(t, i));
        });
    for (auto& th : threads) th.join();

    const std::regex shape(std::string(kStampedLinePrefix) + R"(t(\d) i(\d+) ([a-d]+))");
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), size_t(kThreads * kLines));
    std::set<std::pair<int, int>> seen;
    std::vector<int> lastIndex(kThreads, -1);
    for (const auto& line : lines) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        const int t = std::stoi(m[2]), i = std::stoi(m[3]);
        ASSERT_EQ(m[4].str(), payload(t, i)) << line;
        ASSERT_TRUE(seen.insert({t, i}).second) << line;
        // Each thread's own lines stay in order.
        ASSERT_GT(i, lastIndex[static_cast<size_t>(t)]);
        lastIndex[static_cast<size_t>(t)] = i;
    }
}

TEST_F(LogConcurrencyTest, SettersRaceSafelyWithWritersAndFatalWritesItsLineThenHolds) {
    ASSERT_TRUE(GLIMRA_Log::setLogFile(logPath()));
    std::thread writer([] {
        for (int i = 0; i < 2000; ++i) GLIMRA_Log::debug("line " + std::to_string(i));
    });
    for (int i = 0; i < 200; ++i) {
        GLIMRA_Log::setApplicationName("name" + std::to_string(i));
        GLIMRA_Log::setShouldLogAppName(i % 2 == 0);
    }
    writer.join();
    const std::regex shape(std::string(kStampedLinePrefix) + R"((name\d+: )?line \d+)");
    const auto lines = linesOf(readFile(logPath()));
    ASSERT_EQ(lines.size(), 2000u);
    for (const auto& line : lines) ASSERT_TRUE(std::regex_match(line, shape)) << line;
    // Fatal writes its line, then holds the thread.
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::dup2(pipeFds[1], STDERR_FILENO);
        ::close(pipeFds[0]);
        GLIMRA_Log::setShouldLogToStdErr(true);
        GLIMRA_Log::fatal("cannot go on");
    }
    ::close(pipeFds[1]);
    // Blocks until the child has written its line.
    std::string got;
    char buf[256];
    while (got.find('\n') == std::string::npos) {
        ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n <= 0) break;
        got.append(buf, static_cast<size_t>(n));
    }
    EXPECT_EQ(got, "ERROR: cannot go on\n");
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, WNOHANG), 0) << "fatal returned";
    ::kill(child, SIGKILL);
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status));
    ::close(pipeFds[0]);
}

}  // namespace
}  // namespace klik::test
