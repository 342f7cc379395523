#include "ui/print/NextFreePath.h"

#include <filesystem>
#include <system_error>

namespace klik {

std::string nextFreePath(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(path);
    if (!fs::exists(fs::symlink_status(p, ec))) return path;
    const fs::path dir = p.parent_path();
    const std::string stem = p.stem().string();
    const std::string ext = p.extension().string();
    for (int n = 2; n < 10000; ++n) {
        const fs::path candidate = dir / (stem + "-" + std::to_string(n) + ext);
        if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate.string();
    }
    return {};
}

}  // namespace klik
