// Lines per second the log writes into its file, from one and from four
// threads at once.

#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "log/Log.h"

namespace {

std::string gDir;

void openBenchLog() {
    char tmpl[] = "/tmp/klik-bench-XXXXXX";
    gDir = ::mkdtemp(tmpl);
    klik::GLIMRA_Log::resetForTesting();
    klik::GLIMRA_Log::setRedirectsStdErr(false);
    klik::GLIMRA_Log::setLogFile(gDir + "/Klik_Kiosk.log");
}

void closeBenchLog() {
    klik::GLIMRA_Log::resetForTesting();
    std::error_code ec;
    std::filesystem::remove_all(gDir, ec);
}

void BM_LogLine(benchmark::State& state) {
    if (state.thread_index() == 0) openBenchLog();
    const std::string message =
        "camera property changed: thread " + std::to_string(state.thread_index()) + " value 0x1f4";
    for (auto _ : state) klik::GLIMRA_Log::debug(message);
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) closeBenchLog();
}
BENCHMARK(BM_LogLine)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
