// The relaunch helper as a real program: it waits for a real process to
// end before it starts the path, starts at once for pid 0 and refuses bad
// arguments.

#include <gtest/gtest.h>

#ifdef KLIK_RELAUNCH_PATH

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "util/ProcessLaunch.h"

namespace klik::test {
namespace {

struct Child {
    pid_t pid = -1;
    int errFd = -1;  // the child's standard error
};

// Starts the helper with `args`, its standard error on a pipe.
Child startHelper(const std::vector<std::string>& args) {
    int fds[2];
    EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
    Child c;
    c.pid = fork();
    if (c.pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        std::vector<char*> argv{const_cast<char*>(KLIK_RELAUNCH_PATH)};
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KLIK_RELAUNCH_PATH, argv.data());
        _exit(127);
    }
    close(fds[1]);
    c.errFd = fds[0];
    return c;
}

// Reads the helper's standard error until `text` appears or it closes.
bool readUntil(int fd, const std::string& text) {
    std::string got;
    char buf[256];
    for (;;) {
        const ssize_t n = read(fd, buf, sizeof buf);
        if (n <= 0) return false;
        got.append(buf, static_cast<size_t>(n));
        if (got.find(text) != std::string::npos) return true;
    }
}

int exitStatus(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool stillRunning(pid_t pid) {
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == 0;
}

class RelaunchProgramTest : public ::testing::Test {
  protected:
    RelaunchProgramTest() {
        script = dir.file("started.sh");
        marker = dir.file("started");
        writeFile(script, "#!/bin/sh\necho started > '" + marker + "'\n");
        chmod(script.c_str(), 0755);
    }
    // A stand-in for the kiosk: cat reading a pipe, so it lives until
    // quitKiosk() closes the pipe, and its program is a harmless one should
    // the helper start it again. Returns once cat has replaced the child.
    pid_t startKiosk() {
        int execed[2];
        EXPECT_EQ(pipe2(hold, O_CLOEXEC), 0);  // the helper must not hold it open
        EXPECT_EQ(pipe2(execed, O_CLOEXEC), 0);
        const pid_t kiosk = fork();
        if (kiosk == 0) {
            dup2(hold[0], 0);
            execl(cat.c_str(), "cat", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(hold[0]);
        close(execed[1]);
        char c;
        while (read(execed[0], &c, 1) > 0) {
        }
        close(execed[0]);
        return kiosk;
    }
    void quitKiosk() { close(hold[1]); }

    TempDir dir;
    std::string script, marker;
    const std::string cat = std::filesystem::canonical("/bin/cat").string();
    int hold[2] = {-1, -1};
};

TEST_F(RelaunchProgramTest, WaitsForTheCallerToEndThenStartsThePath) {
    const pid_t kiosk = startKiosk();
    Child helper = startHelper({script, std::to_string(kiosk), "1"});
    ASSERT_TRUE(readUntil(helper.errFd, "flags [1]"));
    // It has announced itself and now waits: nothing is started yet.
    EXPECT_TRUE(stillRunning(helper.pid));
    EXPECT_FALSE(std::filesystem::exists(marker));

    quitKiosk();
    EXPECT_EQ(exitStatus(kiosk), 0);
    EXPECT_EQ(exitStatus(helper.pid), 0);  // it became the script, which ended well
    EXPECT_EQ(readFile(marker), "started\n");
    close(helper.errFd);
}

TEST_F(RelaunchProgramTest, PidZeroStartsAtOnceAlsoUnderTheServiceAndBadArgumentsAreRefused) {
    Child now = startHelper({script, "0", "1049344"});
    EXPECT_EQ(exitStatus(now.pid), 0);
    EXPECT_EQ(readFile(marker), "started\n");
    close(now.errFd);

    for (const auto& args : std::vector<std::vector<std::string>>{
             {script}, {script, "12x", "1"}, {script, "-4", "1"}, {"", "0", "1"}}) {
        Child bad = startHelper(args);
        EXPECT_EQ(exitStatus(bad.pid), 2) << args.size();
        close(bad.errFd);
    }
    Child missing = startHelper({dir.file("no-such-program"), "0", "1"});
    EXPECT_TRUE(readUntil(missing.errFd, "could not start"));
    EXPECT_EQ(exitStatus(missing.pid), 1);
    close(missing.errFd);

    // Under the service a companion program is started as before.
    std::filesystem::remove(marker);
    setenv("KLIK_SERVICE_UNIT", "klik-kiosk.service", 1);  // NOLINT(concurrency-mt-unsafe)
    Child other = startHelper({script, "0", "1"});
    unsetenv("KLIK_SERVICE_UNIT");  // NOLINT(concurrency-mt-unsafe)
    EXPECT_EQ(exitStatus(other.pid), 0);
    EXPECT_EQ(readFile(marker), "started\n");
    close(other.errFd);
}

// Under the kiosk's systemd unit, relaunching the kiosk's own program asks
// systemd to start the unit again once the kiosk has ended; the unit's stop
// signal does not end the helper before that.
TEST_F(RelaunchProgramTest, UnderTheServiceItRestartsTheUnitOnceTheKioskHasEnded) {
    // A stand-in for systemctl that records its arguments.
    const std::string bin = dir.file("bin");
    std::filesystem::create_directories(bin);
    const std::string asked = dir.file("systemctl-args");
    writeFile(bin + "/systemctl", "#!/bin/sh\necho \"$@\" > '" + asked + "'\n");
    chmod((bin + "/systemctl").c_str(), 0755);

    const pid_t kiosk = startKiosk();
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin + ":" + oldPath).c_str(), 1);      // NOLINT(concurrency-mt-unsafe)
    setenv("KLIK_SERVICE_UNIT", "klik-kiosk.service", 1);  // NOLINT(concurrency-mt-unsafe)
    Child helper = startHelper({cat, std::to_string(kiosk), "0"});
    setenv("PATH", oldPath.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
    unsetenv("KLIK_SERVICE_UNIT");       // NOLINT(concurrency-mt-unsafe)

    ASSERT_TRUE(readUntil(helper.errFd, "flags [0]"));
    kill(helper.pid, SIGTERM);  // systemd stopping the unit
    EXPECT_TRUE(stillRunning(helper.pid));
    EXPECT_FALSE(std::filesystem::exists(asked));

    quitKiosk();
    EXPECT_EQ(exitStatus(kiosk), 0);
    EXPECT_EQ(exitStatus(helper.pid), 0);
    EXPECT_EQ(readFile(asked), "--user --no-block start klik-kiosk.service\n");
    close(helper.errFd);
}

TEST_F(RelaunchProgramTest, TheKioskStartsItDetachedWithoutWaitingForIt) {
    // The started path writes into a pipe the test reads: the read returns
    // when it ran, with no waiting on the clock.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    writeFile(script, "#!/bin/sh\necho started > '" + fifo + "'\n");
    std::string error;
    auto pid = launchDetached(KLIK_RELAUNCH_PATH, {script, "0", "1"}, &error);
    ASSERT_TRUE(pid) << error;
    const int fd = open(fifo.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char buf[16] = {};
    EXPECT_EQ(read(fd, buf, sizeof buf - 1), 8);
    EXPECT_STREQ(buf, "started\n");
    close(fd);
    EXPECT_FALSE(launchDetached(dir.file("missing"), {}, &error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace klik::test

#endif
