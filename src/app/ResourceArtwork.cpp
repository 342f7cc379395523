#include "app/ResourceArtwork.h"

#include <filesystem>

#include "foundation/Resources.h"

namespace klik {

ResourceArtwork::ResourceArtwork(std::string directory) : directory_(std::move(directory)) {}

PicturePtr ResourceArtwork::imageNamed(const std::string& name) const {
    // A name is one file name: nothing with a path in it is looked up, so a
    // name can never reach outside the folder.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return nullptr;
    const std::string dir = directory_.empty() ? resourceDirectory() : directory_;
    static const char* const kExtensions[] = {"png", "jpg", "jpeg", "tif", "tiff", "gif", "bmp"};
    std::error_code ec;
    for (const char* ext : kExtensions) {
        std::string path = dir + "/" + name + "." + ext;
        if (std::filesystem::is_regular_file(path, ec)) return Picture::fromFile(name, path);
    }
    return nullptr;
}

}  // namespace klik
