// Start-up time of the kiosk program: from exec to screen 1 drawn
// (offscreen, simulated camera, a fresh scripted sandbox each run), side by side
// with the bare process start of the same program (--help, no Qt, no
// windows) so the figure reads as a ratio on any machine.

#ifdef KLIK_KIOSK_PATH

#include <benchmark/benchmark.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Runs the kiosk with `args` to its end; false when it failed.
bool runKiosk(const std::vector<std::string>& args, const std::string& sandbox) {
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("XDG_CONFIG_HOME", (sandbox + "/config").c_str(), 1);
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(126);
        std::vector<char*> argv{const_cast<char*>(KLIK_KIOSK_PATH)};
        for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(KLIK_KIOSK_PATH, argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
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
