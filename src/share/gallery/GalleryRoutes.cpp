#include "share/gallery/GalleryRoutes.h"

#include <cctype>
#include <limits>

#include "photo/ShareLink.h"

namespace klik {

namespace {

struct Tail {
    std::string_view text;
    GalleryRoute route;
};

constexpr Tail kTails[] = {
    {"", GalleryRoute::Page},
    {"/photo.jpg", GalleryRoute::Photo},
    {"/download.jpg", GalleryRoute::PhotoDownload},
    {"/thumb.jpg", GalleryRoute::Thumbnail},
    {"/movie", GalleryRoute::Movie},
    {"/movie-download", GalleryRoute::MovieDownload},
};

bool parseNumber(std::string_view s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19) return false;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    out = v;
    return true;
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

}  // namespace

GalleryTarget parseGalleryTarget(std::string_view target) {
    GalleryTarget out;
    const size_t query = target.find('?');
    std::string_view path = target.substr(0, query);
    if (path == "/gallery") return {GalleryRoute::Gallery, {}};
    if (path == "/wall") return {GalleryRoute::Wall, {}};
    if (path == "/wall.js") return {GalleryRoute::WallScript, {}};
    if (path == "/wall/events") return {GalleryRoute::WallEvents, {}};
    constexpr std::string_view kPrefix = "/p/";
    if (path.substr(0, kPrefix.size()) != kPrefix) return out;
    path.remove_prefix(kPrefix.size());
    if (path.size() < kShareTokenLength) return out;
    const std::string_view token = path.substr(0, kShareTokenLength);
    if (!isWellFormedShareToken(token)) return out;
    const std::string_view tail = path.substr(kShareTokenLength);
    for (const Tail& t : kTails)
        if (tail == t.text) return {t.route, std::string(token)};
    return out;
}

std::string galleryPathFor(GalleryRoute route, const std::string& token) {
    for (const Tail& t : kTails)
        if (t.route == route) return "/p/" + token + std::string(t.text);
    switch (route) {
        case GalleryRoute::Gallery:
            return "/gallery";
        case GalleryRoute::Wall:
            return "/wall";
        case GalleryRoute::WallScript:
            return "/wall.js";
        case GalleryRoute::WallEvents:
            return "/wall/events";
        default:
            return "/";
    }
}

RangeAnswer parseByteRange(std::string_view header, std::uint64_t length, ByteRange& out) {
    std::string_view s = trimmed(header);
    if (s.empty()) return RangeAnswer::Whole;
    constexpr std::string_view kUnit = "bytes=";
    if (s.size() < kUnit.size()) return RangeAnswer::Whole;
    for (size_t i = 0; i < kUnit.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != kUnit[i]) return RangeAnswer::Whole;
    s.remove_prefix(kUnit.size());
    // Several ranges: the whole body (never a multipart answer that could
    // repeat the body many times over).
    if (s.find(',') != std::string_view::npos) return RangeAnswer::Whole;
    s = trimmed(s);
    const size_t dash = s.find('-');
    if (dash == std::string_view::npos) return RangeAnswer::Whole;
    const std::string_view a = trimmed(s.substr(0, dash)), b = trimmed(s.substr(dash + 1));
    std::uint64_t first = 0, last = 0;
    if (a.empty()) {
        // The last b bytes.
        std::uint64_t suffix = 0;
        if (!parseNumber(b, suffix)) return RangeAnswer::Whole;
        if (suffix == 0 || length == 0) return RangeAnswer::Unsatisfiable;
        if (suffix > length) suffix = length;
        out = {length - suffix, length - 1};
        return RangeAnswer::Partial;
    }
    if (!parseNumber(a, first)) return RangeAnswer::Whole;
    if (b.empty()) {
        last = length == 0 ? 0 : length - 1;
    } else {
        if (!parseNumber(b, last) || last < first) return RangeAnswer::Whole;
        if (length > 0 && last >= length) last = length - 1;
    }
    if (first >= length) return RangeAnswer::Unsatisfiable;
    out = {first, last};
    return RangeAnswer::Partial;
}

}  // namespace klik
