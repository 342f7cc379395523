#include "foundation/FixedPaths.h"

#include <cstdlib>
#include <mutex>

namespace klik {

namespace {
std::mutex gRootMutex;
bool gRootSet = false;
std::string gRoot;

std::string trimTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    if (s == "/") s.clear();
    return s;
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
    return fixedRoot() + absolutePath;
}

}  // namespace klik
