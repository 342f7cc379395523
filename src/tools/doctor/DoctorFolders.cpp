// The kiosk's folders, their mounts and free space; the log and the
// temporary files.

#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "app/SettingsReaders.h"
#include "foundation/FixedPaths.h"
#include "foundation/StandardPlaces.h"
#include "log/LogPaths.h"
#include "tools/doctor/DoctorChecks.h"
#include "tools/doctor/MountTable.h"

namespace klik::doctor {

namespace {

namespace fs = std::filesystem;

std::string bytesText(unsigned long long b) {
    char s[32];
    if (b >= (1ull << 30))
        std::snprintf(s, sizeof s, "%.1f GiB", double(b) / double(1ull << 30));
    else
        std::snprintf(s, sizeof s, "%.0f MiB", double(b) / double(1ull << 20));
    return s;
}

// "on /media/stick (vfat /dev/sdb1), 3.2 GiB free"; adds a problem when the
// volume is nearly full.
std::string volumeText(Report& r, const std::string& topic, const std::string& path,
                       const std::vector<Mount>& mounts) {
    std::error_code ec;
    const std::string real = fs::canonical(path, ec).string();
    std::string text;
    if (auto m = mountHolding(ec ? path : real, mounts))
        text = "on " + m->mountPoint + " (" + m->fsType + " " + m->source + ")";
    struct statvfs st {};
    if (::statvfs(path.c_str(), &st) == 0) {
        const unsigned long long free = (unsigned long long)st.f_bavail * st.f_frsize;
        text += (text.empty() ? "" : ", ") + bytesText(free) + " free";
        if (free < kLowFreeBytes)
            r.problem(topic, path + ": only " + bytesText(free) + " free",
                      {"make room on that volume, or choose a folder on another one"});
    }
    return text;
}

struct FolderSpec {
    const char* label;
    const char* key;
    const char* fallback;
    bool madeAtLaunch;
};

}  // namespace

void checkFolders(Report& r, const Dictionary& settings) {
    const auto mounts = readMountTable();
    std::vector<FolderSpec> folders{
        {"scratch", "scratchFolder", kScratchFolderFallback, true},
        {"main images", "mainImagesFolder", kMainImagesFolderFallback, false},
        {"upload", "forUploadFolder", kForUploadFolderFallback, false}};
    if (const Value* v = find(settings, "prefDoSaveToSlideShowFolder"); v && v->boolValue())
        folders.push_back({"slideshow", "prefForSlideShowFolder", "", false});

    for (const FolderSpec& f : folders) {
        const Value* v = find(settings, f.key);
        std::string path = v && v->isString() ? v->stringOr() : std::string();
        if (path.empty()) path = f.fallback[0] ? fixedPath(f.fallback) : std::string();
        const std::string topic = "folder";
        const std::string name = std::string(f.label) + " folder " + path;
        std::error_code ec;
        if (path.empty()) {
            r.problem(topic, std::string(f.label) + " folder: not chosen",
                      {"choose it in the kiosk's preferences (Folders)"});
            continue;
        }
        if (!fs::exists(path, ec)) {
            if (f.madeAtLaunch) {
                r.ok(topic, name + ": not there yet, made at launch");
            } else {
                r.problem(topic,
                          name +
                              ": missing (the kiosk warns at start and cannot file "
                              "photos there)",
                          {"mkdir -p '" + path + "'",
                           "or choose another folder in the kiosk's preferences (Folders)"});
            }
            continue;
        }
        if (!fs::is_directory(path, ec)) {
            r.problem(topic, name + ": not a folder", {"choose a folder in the preferences"});
            continue;
        }
        if (::access(path.c_str(), W_OK | X_OK) != 0) {
            r.problem(topic, name + ": this user may not write in it",
                      {"sudo chown -R \"$USER\" '" + path + "'"});
            continue;
        }
        r.ok(topic, name + " " + volumeText(r, topic, path, mounts));
    }

    const std::string log = fixedPath(kDefaultLogPath);
    const std::string logFolder = fs::path(log).parent_path().string();
    std::error_code ec;
    if (fs::exists(log, ec)
            ? ::access(log.c_str(), W_OK) != 0
            : (fs::exists(logFolder, ec) && ::access(logFolder.c_str(), W_OK | X_OK) != 0)) {
        r.problem("log", log + ": this user may not write it",
                  {"sudo chown -R \"$USER\" '" + logFolder + "'"});
    } else {
        const auto size = fs::exists(log, ec) ? fs::file_size(log, ec) : 0;
        std::string probe = logFolder;
        while (!fs::exists(probe, ec) && probe.size() > 1)
            probe = fs::path(probe).parent_path().string();
        r.ok("log", log + (size ? " (" + bytesText(size) + ")" : " (not written yet)") + " " +
                        volumeText(r, "log", probe, mounts));
    }

    // Temporary files: a fresh folder of a unique name per run, in this base.
    const std::string root = fixedRoot();
    const std::string base =
        root.empty() ? temporaryBase(PlaceEnvironment::fromProcess()) : fixedPath("/tmp");
    if (::access(base.c_str(), W_OK | X_OK) != 0)
        r.problem("temporary", base + ": this user may not write in it",
                  {"check $XDG_RUNTIME_DIR and $TMPDIR"});
    else
        r.ok("temporary", base + (root.empty() ? "/klik-XXXXXX (one per run) " : " ") +
                              volumeText(r, "temporary", base, mounts));
}

}  // namespace klik::doctor
