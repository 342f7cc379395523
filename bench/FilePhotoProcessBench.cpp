// Filing as the operator runs it, whole processes side by side in one run:
//  - `klikctl file-photo` on a camera-like 6000 x 4000 JPEG (noise, quality
//    96, about 16 MB), against the floor: a plain libjpeg-turbo decode of the
//    full picture plus one quality-90 encode of its square, in a process of
//    its own (klik_jpeg_floor). Each iteration runs both, one after the
//    other; the counters give each one's mean wall time, processor time
//    (user plus system) and peak resident size, and the ratios chain / floor
//    of wall and processor time. entropy_ratio is the same floor program
//    reading only the entropy-coded data (`--entropy`), against the floor:
//    the share of the floor no square of the picture can avoid.
//  - one filing onto a FAT file system (fusefat) against the same filing
//    onto tmpfs, in this process, alternating. Needs root and /dev/fuse;
//    skipped with the reason otherwise.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "CameraJpeg.h"
#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"
#include "imaging/ImageCodec.h"
#include "photo/DBusFilingHost.h"
#include "photo/ImageFolders.h"
#include "photo/PhotoFiler.h"
#include "support/TestMounts.h"

extern char** environ;

namespace klik {
namespace {

using Clock = std::chrono::steady_clock;

std::string makeTempDir() {
    char tmpl[] = "/tmp/klik-bench-XXXXXX";
    return ::mkdtemp(tmpl) ? std::string(tmpl) : std::string();
}

struct ProcessRun {
    bool ok = false;
    double seconds = 0;
    double peakMiB = 0;
    double cpuSeconds = 0;  // user plus system time of the whole process
};

// Runs `argv` with `env` added, through the floor program's measuring
// mode (so the child's peak is its own); wall time, peak resident size and
// processor time.
ProcessRun runProcess(const std::vector<std::string>& command,
                      const std::vector<std::string>& env) {
    std::vector<std::string> argv = {KLIK_JPEG_FLOOR_PATH, "--measure"};
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    envStrings.insert(envStrings.end(), env.begin(), env.end());
    std::vector<char*> a, e;
    for (const auto& s : argv) a.push_back(const_cast<char*>(s.c_str()));
    a.push_back(nullptr);
    for (const auto& s : envStrings) e.push_back(const_cast<char*>(s.c_str()));
    e.push_back(nullptr);
    int fds[2];
    ProcessRun run;
    if (::pipe(fds) != 0) return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, a[0], &actions, nullptr, a.data(), e.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (rc != 0) {
        ::close(fds[0]);
        return run;
    }
    std::string out;
    char buf[256];
    for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return run;
    }
    run.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    long peakKiB = 0;
    int childStatus = -1;
    long cpuUs = 0;
    if (std::sscanf(out.c_str(), "%ld %d %ld", &peakKiB, &childStatus, &cpuUs) != 3) return run;
    run.peakMiB = static_cast<double>(peakKiB) / 1024.0;
    run.cpuSeconds = static_cast<double>(cpuUs) / 1e6;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && childStatus == 0;
    return run;
}

void BM_FilePhotoProcessAgainstFloor(benchmark::State& state) {
    const std::string root = makeTempDir();
    const std::string in = root + "/IMG_0001.JPG";
    {
        const Data& jpeg = noisyCameraJpeg();
        std::ofstream(in, std::ios::binary)
            .write(reinterpret_cast<const char*>(jpeg.data()),
                   static_cast<std::streamsize>(jpeg.size()));
    }
    ::mkdir((root + "/KlikKioskMainImagesFolder").c_str(), 0755);
    ::mkdir((root + "/KlikKioskUploadFolder").c_str(), 0755);
    ::mkdir((root + "/tmp").c_str(), 0755);
    const std::vector<std::string> env = {"KLIK_ROOT=" + root, "XDG_CONFIG_HOME=" + root + "/cfg",
                                          "DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/nobus"};
    double chain = 0, floor = 0, entropy = 0, chainPeak = 0, floorPeak = 0, chainCpu = 0,
           floorCpu = 0;
    int n = 0;
    for (auto _ : state) {
        const ProcessRun c =
            runProcess({KLIKCTL_PATH, "file-photo", in, "--barcode", "bench"}, env);
        const ProcessRun f = runProcess({KLIK_JPEG_FLOOR_PATH, in}, {});
        const ProcessRun e = runProcess({KLIK_JPEG_FLOOR_PATH, "--entropy", in}, {});
        if (!c.ok || !f.ok || !e.ok) {
            state.SkipWithError(c.ok ? "the floor program failed" : "klikctl file-photo failed");
            break;
        }
        state.SetIterationTime(c.seconds);
        chain += c.seconds;
        floor += f.seconds;
        entropy += e.seconds;
        chainCpu += c.cpuSeconds;
        floorCpu += f.cpuSeconds;
        chainPeak = std::max(chainPeak, c.peakMiB);
        floorPeak = std::max(floorPeak, f.peakMiB);
        ++n;
        std::system(("rm -rf '" + root + "/KlikKioskMainImagesFolder/'* '" + root +
                     "/KlikKioskUploadFolder/'*")
                        .c_str());
    }
    if (n > 0) {
        state.counters["input_MiB"] = static_cast<double>(noisyCameraJpeg().size()) / (1 << 20);
        state.counters["chain_ms"] = chain / n * 1000;
        state.counters["floor_ms"] = floor / n * 1000;
        state.counters["time_ratio"] = chain / floor;
        state.counters["entropy_ratio"] = entropy / floor;
        state.counters["chain_cpu_ms"] = chainCpu / n * 1000;
        state.counters["floor_cpu_ms"] = floorCpu / n * 1000;
        state.counters["cpu_ratio"] = chainCpu / floorCpu;
        state.counters["chain_peak_MiB"] = chainPeak;
        state.counters["floor_peak_MiB"] = floorPeak;
    }
    std::system(("rm -rf '" + root + "'").c_str());
}
BENCHMARK(BM_FilePhotoProcessAgainstFloor)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

void BM_FilingOnFatAgainstTmpfs(benchmark::State& state) {
    const std::string root = makeTempDir();
    {
        test::TmpfsMount tmpfs(root + "/tmpfs", 256 << 20, "klik-bench-tmpfs");
        test::FatFuseMount fat(root + "/fat.img", root + "/fat", 256);
        if (!tmpfs.mounted() || !fat.mounted()) {
            state.SkipWithError((tmpfs.unavailableReason() + fat.unavailableReason()).c_str());
        } else {
            setFixedRoot(root);
            ::mkdir((root + "/tmp").c_str(), 0755);
            Settings settings(root + "/settings.plist");
            DBusFilingHost host;
            PhotoFiler filer(settings, host,
                             [] { return std::optional<std::string>("001122334455"); });
            PhotoSession session;
            session.barcodeValue = "bench";
            const Data& jpeg = noisyCameraJpeg();
            auto fileOnto = [&](const std::string& volume) {
                ::mkdir((volume + "/Images").c_str(), 0777);
                ::mkdir((volume + "/Up").c_str(), 0777);
                settings.setString("scratchFolder", root + "/Scratch");
                settings.setString("mainImagesFolder", volume + "/Images");
                settings.setString("forUploadFolder", volume + "/Up");
                initFolderGlobalsAtLaunch(settings);
                const auto start = Clock::now();
                auto r = filer.postProcessNewPhoto(jpeg, "IMG_0001.JPG", session);
                const double s = std::chrono::duration<double>(Clock::now() - start).count();
                ::unlink(r.filedPath.c_str());
                ::unlink(r.uploadPath.c_str());
                return r.uploadWritten ? s : -1.0;
            };
            double onFat = 0, onTmpfs = 0;
            int n = 0;
            for (auto _ : state) {
                const double f = fileOnto(root + "/fat");
                const double t = fileOnto(root + "/tmpfs");
                if (f < 0 || t < 0) {
                    state.SkipWithError("a filing failed");
                    break;
                }
                state.SetIterationTime(f);
                onFat += f;
                onTmpfs += t;
                ++n;
            }
            if (n > 0) {
                state.counters["fat_ms"] = onFat / n * 1000;
                state.counters["tmpfs_ms"] = onTmpfs / n * 1000;
                state.counters["fat_over_tmpfs"] = onFat / onTmpfs;
            }
            setFixedRoot("");
        }
    }
    std::system(("rm -rf '" + root + "'").c_str());
}
BENCHMARK(BM_FilingOnFatAgainstTmpfs)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
}  // namespace klik
