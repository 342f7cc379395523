// Start-up time of the kiosk program: from exec to screen 1 drawn
// (offscreen, simulated camera, a fresh scripted sandbox each run), side by side
// with the bare process start of the same program (--help, no Qt, no
// windows) so the figure reads as a ratio on any machine.

#ifdef KLIK_KIOSK_PATH

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "util/ProcessLaunch.h"

namespace {

// Runs the kiosk with `args` to its end; false when it failed.
bool runKiosk(const std::vector<std::string>& args, const std::string& sandbox) {
    klik::RunOptions o;
    o.environment = {{"XDG_CONFIG_HOME", sandbox + "/config"}};
    if (!std::getenv("QT_QPA_PLATFORM")) o.environment.push_back({"QT_QPA_PLATFORM", "offscreen"});
    o.standardOutput = o.standardError = "/dev/null";
    return klik::runAndWait(KLIK_KIOSK_PATH, args, o) == 0;
}

void runTimed(benchmark::State& state, bool toScreen1) {
    char pattern[] = "/tmp/klik-startup-XXXXXX";
    const std::string dir = mkdtemp(pattern) ? pattern : "/tmp";
    int run = 0;
    for (auto _ : state) {
        const std::string sandbox = dir + "/run" + std::to_string(run++);
        std::vector<std::string> args{"--help"};
        // Scripted, so the sandbox has its folders (a fresh one would stop
        // at the folder warning) and nothing waits for an operator.
        if (toScreen1)
            args = {"--root", sandbox + "/root",  "--sim", "--scripted",
                    "1",      "--quit-on-screen", "1"};
        if (!runKiosk(args, sandbox)) {
            state.SkipWithError("klik-kiosk did not run to its end");
            break;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}

void BM_KioskStartupToScreen1(benchmark::State& state) {
    runTimed(state, true);
}
void BM_KioskProcessStartBaseline(benchmark::State& state) {
    runTimed(state, false);
}

BENCHMARK(BM_KioskStartupToScreen1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();
BENCHMARK(BM_KioskProcessStartBaseline)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(5)
    ->UseRealTime();

}  // namespace

#endif
