#include "video/MovieNames.h"

#include <filesystem>

#include "app/SettingsKeys.h"
#include "log/Log.h"

namespace klik {

namespace fs = std::filesystem;

namespace {

bool isFile(const fs::path& p) {
    std::error_code ec;
    return fs::is_regular_file(p, ec);
}

std::string withoutExtension(const std::string& path) {
    fs::path p(path);
    return (p.parent_path() / p.stem()).string();
}

std::optional<std::string> firstMovieAtBase(const std::string& base) {
    for (const char* ext : {"mov", "m4v", "mp4"}) {
        const std::string candidate = base + "." + ext;
        if (isFile(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> getMovieWithBaseName(const std::string& path) {
    if (path.empty()) return std::nullopt;
    return firstMovieAtBase(withoutExtension(path));
}

std::optional<std::string> getPromptMovieForOverlay(const std::string& overlayPath) {
    if (overlayPath.empty()) return std::nullopt;
    // Not through getMovieWithBaseName: "Wave.v2WithPrompt" has no extension
    // of its own to drop.
    return firstMovieAtBase(withoutExtension(overlayPath) + "WithPrompt");
}

std::string overlayBasePathForPromptMovie(const std::string& promptMoviePath) {
    fs::path p(promptMoviePath);
    std::string name = p.stem().string();
    if (auto at = name.find("WithPrompt"); at != std::string::npos) name.resize(at);
    return (p.parent_path() / name).string();
}

std::optional<std::string> getOverlayFileName(const Settings& settings) {
    auto prompt = settings.stringForKey(key::prefMoviePath);
    if (!prompt || prompt->empty()) return std::nullopt;
    const std::string path1 = overlayBasePathForPromptMovie(*prompt);
    GLIMRA_Log::debugf("2011-03-05orlo Looking for path1 = [%s]", path1.c_str());
    // The base has no extension of its own: a name with a dot in it must
    // keep its tail.
    return firstMovieAtBase(path1);
}

std::string muxedMoviePathFor(const std::string& recordingPath) {
    return withoutExtension(recordingPath) + "_muxed.mov";
}

std::string stillPathFor(const std::string& recordingPath) {
    return withoutExtension(recordingPath) + ".jpg";
}

RecordingSize recordingSizeForCompressionTag(Settings& settings) {
    const auto tag = settings.integerForKey(key::prefQTVideoCompressionTag);
    if (tag == 2) return {640, 480};
    if (tag != 1) settings.setInteger(key::prefQTVideoCompressionTag, 1);
    return {320, 240};
}

}  // namespace klik
