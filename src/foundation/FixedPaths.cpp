#include "foundation/FixedPaths.h"

#include <sys/stat.h>

#include <cstdlib>
#include <mutex>

#include "foundation/StandardPlaces.h"
#include "foundation/TemporaryFolder.h"

namespace klik {

namespace {
std::mutex gRootMutex;
bool gRootSet = false;
std::string gRoot;

// "/" stays "/" (the paths as written); other roots lose trailing slashes.
std::string trimTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

bool isUnderTmp(const std::string& p) {
    return p.compare(0, 4, "/tmp") == 0 && (p.size() == 4 || p[4] == '/');
}

// Makes every missing folder of `folder`: the XDG base folders with mode
// 0700 as their rules ask, the last one (the "klik" folder) with the
// default mode.
void makeFolders(const std::string& folder) {
    struct stat st {};
    if (folder.empty() || ::stat(folder.c_str(), &st) == 0) return;
    for (size_t pos = 1; pos != std::string::npos;) {
        pos = folder.find('/', pos + 1);
        const std::string part = folder.substr(0, pos);
        if (::stat(part.c_str(), &st) == 0) continue;
        ::mkdir(part.c_str(), pos == std::string::npos ? 0777 : 0700);
    }
}
}  // namespace

void setFixedRoot(const std::string& dir) {
    std::lock_guard lock(gRootMutex);
    gRoot = trimTrailingSlashes(dir);
    gRootSet = true;
}

std::string fixedRoot() {
    std::lock_guard lock(gRootMutex);
    if (!gRootSet) {
        const char* env = std::getenv("KLIK_ROOT");
        gRoot = trimTrailingSlashes(env ? env : "");
        gRootSet = true;
    }
    return gRoot;
}

std::string fixedPath(const std::string& absolutePath) {
    if (absolutePath.empty() || absolutePath[0] != '/') return absolutePath;
    const std::string root = fixedRoot();
    if (root == "/") return absolutePath;
    if (!root.empty()) {
        // The root's "/tmp" is made when missing, as the process's private
        // temporary folder is without a root: a sandbox starts empty, and
        // the files the kiosk writes there (the print composite, the square
        // image) would otherwise fail on every guest. The root itself is
        // never made here.
        if (isUnderTmp(absolutePath)) {
            const std::string tmp = root + "/tmp";
            struct stat st {};
            if (::stat(tmp.c_str(), &st) != 0) ::mkdir(tmp.c_str(), 0700);
        }
        return root + absolutePath;
    }

    if (isUnderTmp(absolutePath)) {
        const std::string folder = temporaryFolder();
        return folder.empty() ? absolutePath : folder + absolutePath.substr(4);
    }
    const StandardPlace place = standardPlaceFor(absolutePath, PlaceEnvironment::fromProcess());
    makeFolders(place.folder);
    return place.path;
}

}  // namespace klik
