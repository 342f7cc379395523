#include "video/MovieViewSupport.h"

#include <filesystem>

#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "photo/MyAliasKit.h"

namespace klik {

MovieSize constrainNSSize(MovieSize size, MovieSize maximum) {
    // A degenerate size has no aspect ratio to keep.
    if (!(size.width > 0) || !(size.height > 0) || !(maximum.width > 0) || !(maximum.height > 0))
        return size;
    for (int i = 0; i < 4 && (size.width > maximum.width || size.height > maximum.height); ++i) {
        const float aspect = size.width / size.height;
        if (size.width > maximum.width) {
            size.width = maximum.width;
            size.height = size.width / aspect;
        } else {
            size.height = maximum.height;
            size.width = size.height * aspect;
        }
    }
    return size;
}

std::optional<std::string> repairedMoviePath(Settings& settings) {
    auto path = settings.stringForKey(key::prefMoviePath);
    std::error_code ec;
    if (path && !path->empty() && !std::filesystem::exists(*path, ec)) {
        if (auto alias = settings.dataForKey(key::prefMoviePathAliasData)) {
            std::string resolved;
            if (MyAliasKit::resolveAliasFromData(*alias, resolved) && !resolved.empty()) {
                GLIMRA_Log::debugf("the prompt movie moved: %s is now %s", path->c_str(),
                                   resolved.c_str());
                settings.setString(key::prefMoviePath, resolved);
                path = resolved;
            }
        }
    }
    if (!path || path->empty()) return std::nullopt;
    return path;
}

}  // namespace klik
