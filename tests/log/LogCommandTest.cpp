// klikctl log, run as an operator runs it.

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <regex>

#include <gtest/gtest.h>

#include "LogFixture.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

struct ToolRun {
    int status = -1;
    std::string out, err;
};

class LogCommandTest : public ::testing::Test {
  protected:
    // Runs `klikctl --root <dir> ARGS` (ARGS as shell words).
    ToolRun klikctl(const std::string& args) {
        const std::string cmd = std::string("env -u KLIK_ROOT '") + KLIKCTL_PATH + "' --root '" +
                                dir.path() + "' " + args + " >'" + dir.file("out") + "' 2>'" +
                                dir.file("err") + "'";
        ToolRun r;
        int raw = std::system(cmd.c_str());
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readFile(dir.file("out"));
        r.err = readFile(dir.file("err"));
        return r;
    }
    std::string defaultLog() const { return dir.path() + "/Library/Logs/Klik/Klik_Kiosk.log"; }

    TempDir dir;
};

TEST_F(LogCommandTest, WritesIntoTheDefaultLogOrTheFileGivenWhichRollsAndMustOpen) {
    ToolRun r = klikctl("log hello 'kiosk world' 100%d");
    EXPECT_EQ(r.status, 0) << r.err;
    const auto lines = linesOf(readFile(defaultLog()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(
        lines[0], std::regex(std::string(kStampedLinePrefix) + "hello kiosk world 100%d")))
        << lines[0];
    struct stat st {};
    ASSERT_EQ(::stat(defaultLog().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    EXPECT_EQ(klikctl("log second").status, 0);
    EXPECT_EQ(linesOf(readFile(defaultLog())).size(), 2u);
    // The file option: the file rolls first, and one that cannot open is an error.
    const std::string path = dir.file("my.log");
    writeFile(path, std::string(1048576, '\n'));
    r = klikctl("log --file '" + path + "' -- --not-an-option");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readFile(dir.file("my_old.log")).size(), 1048576u);
    const auto fileLines = linesOf(readFile(path));
    ASSERT_EQ(fileLines.size(), 1u);
    EXPECT_EQ(messageOf(fileLines[0]), "--not-an-option");
    r = klikctl("log --file '" + dir.file("no/such/dir.log") + "' hi");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Failed to open log file at " + dir.file("no/such/dir.log")),
              std::string::npos)
        << r.err;
}

TEST_F(LogCommandTest, BadArgumentsExitWithTwoAndHelpShowsTheUsage) {
    for (const char* args : {"log", "log --file", "log --bogus hi", "log --file ''"}) {
        ToolRun r = klikctl(args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.err.find("klikctl log: "), std::string::npos) << args << ": " << r.err;
        EXPECT_NE(r.err.find("usage: klikctl log"), std::string::npos);
    }
    ToolRun r = klikctl("log --help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: klikctl log [--file PATH]"), std::string::npos);
}

}  // namespace
}  // namespace klik::test
