#include "share/SharePlaces.h"

#include <sys/stat.h>

#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"

namespace klik::share {

std::string outboxPath() {
    return fixedPath(kOutboxFixedPath);
}

std::string shareSettingsPath() {
    const std::string root = fixedRoot();
    if (!root.empty() && root != "/") {
        std::string scripted = root + "/config/klik/Klik_Kiosk.plist";
        struct stat st {};
        if (::stat(scripted.c_str(), &st) == 0) return scripted;
    }
    return Settings::defaultPath();
}

}  // namespace klik::share
