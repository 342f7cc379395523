#pragma once
// The transparent window of branded artwork: the bounding rectangle of its
// see-through pixels, origin bottom-left, in pixels or as fractions of the
// artwork's size. Two scans with different rules:
//  - edge-margin scan: every pixel that is not fully opaque (alpha < 255),
//    ignoring a margin of N pixels at the edges;
//  - threshold-50 scan: only clearly transparent pixels (alpha < 50),
//    every pixel visited.
//
// Any thread; scans anew on every call. Never fails: without a bitmap the
// zero rectangle comes back.

#include <string>
#include <variant>
#include <vector>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"

namespace klik {

struct AlphaFrame {
    float x = 0, y = 0, width = 0, height = 0;
    bool operator==(const AlphaFrame&) const = default;
};

// Where artwork comes from.
struct ArtworkSource {
    enum class Kind { Name, Path, Url, EncodedData, Image };
    Kind kind = Kind::Name;
    std::string text;  // name, path or URL
    Data data;         // encoded PNG or JPEG
    Bitmap image;      // in-memory picture

    static ArtworkSource named(std::string nameOrPath);  // resource name first, then a path
    static ArtworkSource url(std::string fileUrl);
    static ArtworkSource encoded(Data bytes);
    static ArtworkSource bitmap(Bitmap bm);
};

// The artwork as an 8-bit RGBA bitmap, or an empty one.
Bitmap resolveArtwork(const ArtworkSource& source);

AlphaFrame alphaFrameForImage(const ArtworkSource& source, bool normalized,
                              unsigned ignoringEdgePixels);
AlphaFrame alphaFrameForImage(const ArtworkSource& source, bool normalized);  // margin 10
AlphaFrame alphaFrameForImageOrlo(const ArtworkSource& source, bool normalized);

// The scans on a bitmap already at hand.
AlphaFrame edgeMarginScan(const Bitmap& bm, bool normalized, unsigned margin);
AlphaFrame threshold50Scan(const Bitmap& bm, bool normalized);

// Every transparent window of artwork drawn for several photos: the
// edge-margin scan's see-through pixels (alpha < 255, margin ignored)
// grouped into connected areas, each one's bounding rectangle as the
// single scan gives it, ordered top to bottom, then left to right within a
// row. Areas too small to hold a photo (under 16 pixels across or tall, or
// under a thousandth of the artwork) are left out: antialiasing specks and
// see-through bits of a logo are no windows. One window gives what
// edgeMarginScan gives.
std::vector<AlphaFrame> frameWindows(const Bitmap& bm, bool normalized, unsigned margin = 10);

std::string describe(const AlphaFrame& f);  // "{{x, y}, {w, h}}"

}  // namespace klik
