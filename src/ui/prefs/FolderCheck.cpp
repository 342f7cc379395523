#include "ui/prefs/FolderCheck.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace klik {

std::string folderProblem(const std::string& path) {
    if (path.empty()) return "No folder was chosen.";
    std::error_code ec;
    const auto status = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::exists(status)) return "The folder [" + path + "] does not exist.";
    if (!std::filesystem::is_directory(status)) return "[" + path + "] is not a folder.";
    if (::access(path.c_str(), W_OK | X_OK) != 0)
        return "The kiosk may not write into [" + path + "].";
    return {};
}

}  // namespace klik
