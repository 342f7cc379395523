#include "log/LogPaths.h"

#include <filesystem>
#include <system_error>

#include "foundation/FixedPaths.h"

namespace klik {

std::string defaultLogFilePath() {
    std::string path = fixedPath(kDefaultLogPath);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return path;
}

}  // namespace klik
