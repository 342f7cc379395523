#include "app/SettingsReaders.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/SettingsKeys.h"
#include "foundation/FixedPaths.h"

namespace klik {

namespace {
std::string folderOr(const Settings& s, const char* key, const char* fallback) {
    auto v = s.stringForKey(key);
    if (!v || v->empty()) return fixedPath(fallback);
    return *v;
}
}  // namespace

std::uint32_t readTouchScreenCount(const Settings& s) {
    std::uint32_t n = readSecondsCount(s, key::touchScreenCountValue);
    return n == 0 ? static_cast<std::uint32_t>(kDefaultTouchScreenCount) : n;
}

std::uint32_t readSecondsCount(const Settings& s, const char* key) {
    const std::int64_t v = s.integerForKey(key);
    if (v <= 0) return 0;
    if (v > std::numeric_limits<std::uint32_t>::max())
        return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(v);
}

std::uint32_t readShotsPerTurn(const Settings& s) {
    const std::int64_t v = s.integerForKey(key::prefShotsPerTurn);
    if (v < 1) return 1;
    if (v > static_cast<std::int64_t>(kMaxShotsPerTurn)) return kMaxShotsPerTurn;
    return static_cast<std::uint32_t>(v);
}

int readLoopSize(const Settings& s) {
    const std::int64_t v = s.integerForKey(key::prefLoopSize);
    if (v == 0) return 480;
    return static_cast<int>(std::clamp<std::int64_t>(v, 64, 1080));
}

float readMaxRecordingLength(const Settings& s) {
    const float v = s.floatForKey(key::prefMaxRecordingLengthInSeconds);
    // A negative or NaN length would start a recording that ends before it
    // began; it is treated like the missing value.
    if (!(v > 0)) return kDefaultRecordingLength;
    if (v > kMaxRecordingLength) return kMaxRecordingLength;
    return v;
}

std::uint16_t readEndOfRecordingWarning(const Settings& s) {
    const auto w = static_cast<std::uint16_t>(
        static_cast<std::uint64_t>(s.integerForKey(key::prefEndOfRecordingWarningInSeconds)));
    return w == 0 ? kDefaultEndOfRecordingWarning : w;
}

std::string readQuitTypedString(const Settings& s) {
    auto v = s.stringForKey(key::prefQuitTypedString);
    return v && !v->empty() ? *v : std::string(kBuiltInQuitCode);
}

std::string readScratchFolder(const Settings& s) {
    return folderOr(s, key::scratchFolder, kScratchFolderFallback);
}
std::string readMainImagesFolder(const Settings& s) {
    return folderOr(s, key::mainImagesFolder, kMainImagesFolderFallback);
}
std::string readForUploadFolder(const Settings& s) {
    return folderOr(s, key::forUploadFolder, kForUploadFolderFallback);
}

}  // namespace klik
