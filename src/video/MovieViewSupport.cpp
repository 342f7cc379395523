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

namespace {

// Whether the record was made for `path` (the path as stored, or what it
// led to when the record was made through a link).
bool recordNames(const Data& alias, const std::string& path) {
    const auto recorded = MyAliasKit::recordedPath(alias);
    if (!recorded) return false;
    if (*recorded == path) return true;
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(path, ec);
    return !ec && canonical.string() == *recorded;
}

}  // namespace

std::optional<std::string> repairedMoviePath(Settings& settings) {
    auto path = settings.stringForKey(key::prefMoviePath);
    if (!path || path->empty()) return std::nullopt;
    std::error_code ec;
    const auto alias = settings.dataForKey(key::prefMoviePathAliasData);
    if (std::filesystem::is_regular_file(*path, ec)) {
        // Keep a reference to the movie found, so that a later move or
        // rename of it is followed.
        if (!alias || !recordNames(*alias, *path))
            MyAliasKit::savePath(*path, key::prefMoviePathAliasData, settings);
        return path;
    }
    // Only a reference made for this very movie may stand in for it: one
    // left from an earlier prompt movie would play the wrong one.
    if (alias && recordNames(*alias, *path)) {
        std::string resolved;
        std::optional<Data> fresh;
        if (MyAliasKit::resolveAliasFromData(*alias, resolved, &fresh) && !resolved.empty()) {
            GLIMRA_Log::debugf("the prompt movie moved: %s is now %s", path->c_str(),
                               resolved.c_str());
            settings.setString(key::prefMoviePath, resolved);
            if (fresh) settings.setObject(key::prefMoviePathAliasData, Value(std::move(*fresh)));
            return resolved;
        }
        GLIMRA_Log::debugf("the prompt movie %s is gone and its reference finds it nowhere",
                           path->c_str());
    } else if (alias) {
        GLIMRA_Log::debugf("the prompt movie %s is gone; the stored reference is for another movie",
                           path->c_str());
    }
    return path;
}

}  // namespace klik
