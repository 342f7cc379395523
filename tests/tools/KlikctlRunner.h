#pragma once
// Runs klikctl with a private settings file and sandbox root, capturing its
// output and exit status.

#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace klik::test {

struct ToolResult {
    int status = -1;
    std::string out;  // standard output
    std::string err;  // standard error
};

class Klikctl {
  public:
    Klikctl();
    // Runs `klikctl --root <sandbox> --settings <file> ARGS` (ARGS as shell words).
    ToolResult run(const std::string& args) const;
    const std::string& settingsPath() const { return settings_; }
    const TempDir& dir() const { return dir_; }

  private:
    TempDir dir_;
    std::string settings_;
};

// Runs `args`: success when it exits with `status` and its standard output
// and standard error contain `out` and `err` (an empty text asks nothing).
testing::AssertionResult runs(const Klikctl& k, const std::string& args, int status,
                              const std::string& out = {}, const std::string& err = {});

}  // namespace klik::test
