#include "foundation/Resources.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#ifndef KLIK_SOURCE_RESOURCES
#define KLIK_SOURCE_RESOURCES ""
#endif

namespace klik {

std::string resourceDirectory() {
    if (const char* env = std::getenv("KLIK_RESOURCES"); env && *env) return env;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        auto installed = exe.parent_path().parent_path() / "share" / "klik";
        if (std::filesystem::is_directory(installed, ec)) return installed.string();
    }
    return KLIK_SOURCE_RESOURCES;
}

std::string resourcePath(const std::string& name) {
    return resourceDirectory() + "/" + name;
}

}  // namespace klik
