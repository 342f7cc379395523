#include "foundation/Resources.h"

#include <cstdlib>
#include <filesystem>

#ifndef KLIK_SOURCE_RESOURCES
#define KLIK_SOURCE_RESOURCES ""
#endif
#ifndef KLIK_INSTALLED_RESOURCES
#define KLIK_INSTALLED_RESOURCES ""
#endif

namespace klik {

namespace {
bool holdsResources(const std::filesystem::path& dir) {
    std::error_code ec;
    return !dir.empty() && std::filesystem::is_regular_file(dir / "FactoryDefault.plist", ec);
}
}  // namespace

std::string resourceDirectory() {
    if (const char* env = std::getenv("KLIK_RESOURCES"); env && *env) return env;
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const auto beside = exe.parent_path().parent_path() / "share" / "klik";
        if (holdsResources(beside)) return beside.lexically_normal().string();
    }
    if (holdsResources(KLIK_SOURCE_RESOURCES)) return KLIK_SOURCE_RESOURCES;
    if (holdsResources(KLIK_INSTALLED_RESOURCES)) return KLIK_INSTALLED_RESOURCES;
    // Nothing found: name the source folder, so the error names a place.
    return KLIK_SOURCE_RESOURCES;
}

std::string resourcePath(const std::string& name) {
    return resourceDirectory() + "/" + name;
}

}  // namespace klik
