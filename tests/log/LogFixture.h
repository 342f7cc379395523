#pragma once
// Shared pieces of the log tests: a fixture that starts every test from the
// log's initial state in a fresh folder, and a capture of standard error.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/Log.h"
#include "support/TempDir.h"

namespace klik::test {

// Points file descriptor 2 at a file for the capture's lifetime.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Everything written to standard error so far.
    std::string text() const;

  private:
    TempDir dir_;
    int saved_ = -1;
};

class LogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
    }
    void TearDown() override { GLIMRA_Log::resetForTesting(); }
    std::string logPath() const { return dir.file("Klik_Kiosk.log"); }

    TempDir dir;
};

// The lines of `text` without their line feeds; a final unterminated piece
// counts as a line.
std::vector<std::string> linesOf(const std::string& text);
// The message part of a file line ("D [stamp] message" -> "message").
std::string messageOf(const std::string& line);
// Compares two possibly huge texts; on a difference reports the sizes and
// the first differing offset instead of a diff of megabytes.
::testing::AssertionResult SameBytes(const std::string& actual, const std::string& expected);
// The regular expression source of a file line's tag and time stamp.
extern const char* const kStampedLinePrefix;

}  // namespace klik::test
