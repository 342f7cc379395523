#include "foundation/StandardPlaces.h"

#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <string_view>

namespace klik {

namespace {

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// An absolute path without trailing slashes, or "" for an unusable value.
// systemd joins several folders with ':'; the first one is the service's.
std::string usable(std::string v, bool colonList = false) {
    if (colonList) v = v.substr(0, v.find(':'));
    if (v.empty() || v[0] != '/') return {};
    while (v.size() > 1 && v.back() == '/') v.pop_back();
    return v;
}

std::string xdgBase(const std::string& value, const std::string& home, const char* fallback) {
    if (!value.empty()) return value;
    if (home.empty()) return {};
    return home + fallback;
}

// `path` is `prefix` itself or lies below it.
bool under(std::string_view path, std::string_view prefix) {
    if (path.substr(0, prefix.size()) != prefix) return false;
    return path.size() == prefix.size() || path[prefix.size()] == '/';
}

}  // namespace

PlaceEnvironment PlaceEnvironment::fromProcess() {
    PlaceEnvironment e;
    e.home = usable(env("HOME"));
    if (e.home.empty()) {
        // A service started without HOME still has an entry in the password
        // database.
        std::array<char, 4096> buf{};
        passwd pw{};
        passwd* found = nullptr;
        if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found &&
            found->pw_dir)
            e.home = usable(found->pw_dir);
    }
    e.xdgStateHome = usable(env("XDG_STATE_HOME"));
    e.xdgCacheHome = usable(env("XDG_CACHE_HOME"));
    e.xdgDataHome = usable(env("XDG_DATA_HOME"));
    e.xdgRuntimeDir = usable(env("XDG_RUNTIME_DIR"));
    e.tmpDir = usable(env("TMPDIR"));
    e.logsDirectory = usable(env("LOGS_DIRECTORY"), true);
    e.stateDirectory = usable(env("STATE_DIRECTORY"), true);
    e.cacheDirectory = usable(env("CACHE_DIRECTORY"), true);
    e.runtimeDirectory = usable(env("RUNTIME_DIRECTORY"), true);
    return e;
}

std::string standardLogFolder(const PlaceEnvironment& e) {
    if (!e.logsDirectory.empty()) return e.logsDirectory;
    const std::string state = xdgBase(e.xdgStateHome, e.home, "/.local/state");
    return state.empty() ? std::string() : state + "/klik";
}

StandardPlace standardPlaceFor(const std::string& p, const PlaceEnvironment& e) {
    auto klikFolder = [&](const std::string& service, const std::string& xdg,
                          const char* fallback) -> std::string {
        if (!service.empty()) return service;
        const std::string base = xdgBase(xdg, e.home, fallback);
        return base.empty() ? std::string() : base + "/klik";
    };
    // The fixed path's tail below `prefix` goes into `folder`.
    auto place = [&](const std::string& folder, std::string_view prefix) -> StandardPlace {
        if (folder.empty()) return {p, {}};
        return {folder + p.substr(prefix.size()), folder};
    };

    static constexpr std::string_view kLogs = "/Library/Logs/Klik";
    if (under(p, kLogs)) return place(standardLogFolder(e), kLogs);
    // The others keep their own name inside the kiosk's folder.
    if (p == "/sittingInfoFromCamera.txt" || p == "/KlikShareOutbox.sqlite")
        return place(klikFolder(e.stateDirectory, e.xdgStateHome, "/.local/state"), "");
    if (under(p, "/CameraScratchFolder") || under(p, "/KlikShareGallery"))
        return place(klikFolder(e.cacheDirectory, e.xdgCacheHome, "/.cache"), "");
    if (under(p, "/KlikKioskMainImagesFolder") || under(p, "/KlikKioskUploadFolder"))
        return place(klikFolder("", e.xdgDataHome, "/.local/share"), "");
    return {p, {}};
}

std::string temporaryBase(const PlaceEnvironment& e) {
    for (const std::string* s : {&e.runtimeDirectory, &e.xdgRuntimeDir, &e.tmpDir})
        if (!s->empty()) return *s;
    return "/tmp";
}

}  // namespace klik
