#include "GalleryFixture.h"

#include <sys/time.h>

#include <algorithm>
#include <filesystem>

namespace klik::test {

std::vector<std::string> listTree(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (auto& e : std::filesystem::recursive_directory_iterator(folder, ec))
        out.push_back(std::filesystem::relative(e.path(), folder).string());
    std::sort(out.begin(), out.end());
    return out;
}

void GalleryWorld::setMtime(const std::string& path, std::int64_t t) {
    timeval tv[2] = {{static_cast<time_t>(t), 0}, {static_cast<time_t>(t), 0}};
    ::utimes(path.c_str(), tv);
}

}  // namespace klik::test
