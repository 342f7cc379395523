#pragma once
// Runs the kiosk program (KLIK_KIOSK_PATH, defined by the test target) to
// its end on the offscreen platform with the two-screen layout of
// scripts/offscreen-screen.json, its settings under DIR/config.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"
#include "util/ProcessLaunch.h"

namespace klik::test {

// Standard output into `*output`; returns the exit status (-1 when it could
// not start or died). KLIK_ROOT is removed, so only --root places the
// sandbox.
inline int runKioskToEnd(const TempDir& dir, const std::vector<std::string>& args,
                         std::string* output) {
    const std::string out = dir.file("kiosk-output.txt");
    RunOptions o;
    o.environment = {{"XDG_CONFIG_HOME", dir.file("config")},
                     {"KLIK_ROOT", std::nullopt},
                     {"QT_QPA_PLATFORM", std::string("offscreen:configfile=") + KLIK_SOURCE_DIR +
                                             "/scripts/offscreen-screen.json"}};
    o.standardOutput = out;
    std::string error;
    const int status = runAndWait(KLIK_KIOSK_PATH, args, o, &error);
    *output = readFile(out) + error;
    return status;
}

// The regular files under `dir` (at any depth) whose extension is `ext`
// (".jpg"), sorted; none when `dir` is missing.
inline std::vector<std::string> filesUnder(const std::string& dir, const std::string& ext) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir, ec))
        if (e.is_regular_file() && e.path().extension() == ext) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace klik::test
