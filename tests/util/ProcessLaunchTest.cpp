// Running a program to its end: exit status, environment, output files.

#include "util/ProcessLaunch.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace klik {
namespace {

TEST(RunAndWait, GivesTheExitStatusAndTheOutputInItsFilesOrMinusOne) {
    test::TempDir dir;
    test::ScopedEnv kept("KLIK_TEST_KEPT", "kept");
    test::ScopedEnv removed("KLIK_TEST_REMOVED", "should be gone");
    RunOptions o;
    o.environment = {{"KLIK_TEST_SET", "set"}, {"KLIK_TEST_REMOVED", std::nullopt}};
    o.standardOutput = dir.file("out.txt");
    o.standardError = dir.file("err.txt");
    const int status = runAndWait("/bin/sh",
                                  {"-c",
                                   "echo \"$KLIK_TEST_KEPT $KLIK_TEST_SET "
                                   "${KLIK_TEST_REMOVED-unset}\"; echo oops >&2; exit 3"},
                                  o);
    EXPECT_EQ(status, 3);
    EXPECT_EQ(test::readFile(dir.file("out.txt")), "kept set unset\n");
    EXPECT_EQ(test::readFile(dir.file("err.txt")), "oops\n");
    // The caller's own environment is untouched.
    EXPECT_STREQ(std::getenv("KLIK_TEST_REMOVED"), "should be gone");
    EXPECT_EQ(std::getenv("KLIK_TEST_SET"), nullptr);
    // A missing program or a death by signal is -1.
    std::string error;
    EXPECT_EQ(runAndWait("/nonexistent/klik-program", {}, {}, &error), -1);
    EXPECT_NE(error.find("/nonexistent/klik-program"), std::string::npos) << error;
    EXPECT_EQ(runAndWait("/bin/sh", {"-c", "kill -KILL $$"}), -1);
    EXPECT_EQ(runAndWait("/bin/sh", {"-c", "exit 0"}), 0);
}

}  // namespace
}  // namespace klik
