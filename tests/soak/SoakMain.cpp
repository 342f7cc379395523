// klik-soak: the long soak. Plays scripted guests through the kiosk with
// faults from a seeded plan and writes a report; exit status 0 only when
// no photo was lost and nothing was wrong.

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "foundation/MallocTuning.h"
#include "soak/Soak.h"
#include "support/TestMounts.h"

namespace {

void usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: klik-soak [--sessions N] [--seed S] [--photo WxH] [--fault-rate R]\n"
                 "                 [--report FILE] [--work DIR] [--progress N] [--trace]\n"
                 "                 [--minutes M]\n"
                 "Plays N guests (default 300) through the kiosk on the simulated camera with\n"
                 "faults from the seeded plan, accounts for every photo from the disks, samples\n"
                 "memory, descriptors and threads, and writes the report (default: stdout).\n"
                 "--minutes stops after M minutes of wall time (the report says so).\n"
                 "Mount faults need root; without it they are skipped with the reason.\n");
}

}  // namespace

int main(int argc, char** argv) {
    // Before any thread: the faults' mounts live in a namespace of our own.
    klik::test::usePrivateMountNamespace();
    // As the kiosk program does, so the soak measures the kiosk's memory.
    klik::keepLargeBuffersInMappingsOfTheirOwn();
    klik::soak::SoakOptions o;
    std::string report;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                usage(stderr);
                // Parsing the arguments, before any thread exists.
                std::exit(2);  // NOLINT(concurrency-mt-unsafe)
            }
            return argv[++i];
        };
        try {
            if (a == "--sessions")
                o.sessions = std::stoull(value());
            else if (a == "--seed")
                o.seed = std::stoull(value());
            else if (a == "--fault-rate")
                o.faultRate = std::stod(value());
            else if (a == "--report")
                report = value();
            else if (a == "--work")
                o.workDir = value();
            else if (a == "--progress")
                o.progressEvery = std::stoull(value());
            else if (a == "--trace")
                o.trace = true;
            else if (a == "--minutes")
                o.wallLimitSeconds = 60 * std::stod(value());
            else if (a == "--photo") {
                const std::string v = value();
                const auto x = v.find('x');
                if (x == std::string::npos) throw std::invalid_argument(v);
                o.pictureWidth = std::stoi(v.substr(0, x));
                o.pictureHeight = std::stoi(v.substr(x + 1));
            } else if (a == "--help" || a == "-h") {
                usage(stdout);
                return 0;
            } else {
                usage(stderr);
                return 2;
            }
        } catch (const std::exception&) {
            std::fprintf(stderr, "klik-soak: bad value for %s\n", a.c_str());
            return 2;
        }
    }
    o.sampleEvery = std::max<std::uint64_t>(1, o.sessions / 100);
    const auto result = klik::soak::runSoak(o);
    const std::string text = result.report();
    if (report.empty()) {
        std::cout << text;
    } else {
        std::ofstream out(report);
        out << text;
        std::cerr << text;
    }
    return result.clean() ? 0 : 1;
}
