#pragma once
// The gallery's request targets and byte ranges, parsed from the raw text a
// client sent. Only these targets exist (TOKEN: 22 characters of
// [A-Za-z0-9_-]); a query string is ignored, anything else (percent
// escapes, "..", doubled slashes, other names) is no page at all:
//
//   /p/TOKEN                 the guest's page
//   /p/TOKEN/photo.jpg       the photo (or a video guest's still), inline
//   /p/TOKEN/download.jpg    the same as an attachment under its own name
//   /p/TOKEN/thumb.jpg       its thumbnail
//   /p/TOKEN/movie           a video guest's movie, inline (byte ranges)
//   /p/TOKEN/movie-download  the movie as an attachment
//   /gallery                 thumbnails of every photo (public gallery only)
//   /wall                    the photo wall (public gallery only)
//   /wall.js                 its script
//   /wall/events             its server-sent events
//
// No part of a target ever becomes a file name: a token is looked up in the
// gallery's index. Pure; any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace klik {

enum class GalleryRoute {
    NotFound,
    Page,
    Photo,
    PhotoDownload,
    Thumbnail,
    Movie,
    MovieDownload,
    Gallery,
    Wall,
    WallScript,
    WallEvents,
};

struct GalleryTarget {
    GalleryRoute route = GalleryRoute::NotFound;
    std::string token;  // for the /p/ routes
};

GalleryTarget parseGalleryTarget(std::string_view target);
// "/p/" + token + the route's tail ("" for the page).
std::string galleryPathFor(GalleryRoute route, const std::string& token);

// One byte range of a body of `length` bytes.
struct ByteRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;  // inclusive
    std::uint64_t size() const { return last - first + 1; }
};

enum class RangeAnswer {
    Whole,          // no Range header, or one this server ignores (the whole body, 200)
    Partial,        // one satisfiable range (206)
    Unsatisfiable,  // 416
};

// A "Range" header value for a body of `length` bytes. Only a single
// "bytes=" range is honoured (first-last, first-, -suffix); several ranges
// or another unit are ignored (the whole body), as RFC 9110 allows; a range
// that starts beyond the end is unsatisfiable.
RangeAnswer parseByteRange(std::string_view header, std::uint64_t length, ByteRange& out);

}  // namespace klik
