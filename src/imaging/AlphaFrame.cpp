#include "imaging/AlphaFrame.h"

#include <unistd.h>

#include <algorithm>

#include "foundation/RegularFile.h"
#include "foundation/Resources.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "log/StringUtils.h"

namespace klik {

ArtworkSource ArtworkSource::named(std::string n) {
    ArtworkSource s;
    s.kind = Kind::Name;
    s.text = std::move(n);
    return s;
}
ArtworkSource ArtworkSource::url(std::string u) {
    ArtworkSource s;
    s.kind = Kind::Url;
    s.text = std::move(u);
    return s;
}
ArtworkSource ArtworkSource::encoded(Data b) {
    ArtworkSource s;
    s.kind = Kind::EncodedData;
    s.data = std::move(b);
    return s;
}
ArtworkSource ArtworkSource::bitmap(Bitmap bm) {
    ArtworkSource s;
    s.kind = Kind::Image;
    s.image = std::move(bm);
    return s;
}

std::string describe(const AlphaFrame& f) {
    return stringFromRect(f.x, f.y, f.width, f.height);
}

namespace {

Bitmap loadOrEmpty(const std::string& path) {
    auto bm = loadBitmapFromFile(path);
    return bm ? std::move(*bm) : Bitmap{};
}

// Frame from the bounds; subtractions in floating point so an empty scan
// gives (W, H, -W, -H).
AlphaFrame frameFrom(int minX, int minY, int maxX, int maxY, int H) {
    AlphaFrame f;
    f.x = static_cast<float>(minX);
    f.width = static_cast<float>(maxX) - static_cast<float>(minX);
    f.height = static_cast<float>(maxY) - static_cast<float>(minY);
    f.y = static_cast<float>(H) - f.height - static_cast<float>(minY);
    return f;
}

void normalize(AlphaFrame& f, int W, int H) {
    if (W == 0 || H == 0) return;
    f.x /= static_cast<float>(W);
    f.width /= static_cast<float>(W);
    f.y /= static_cast<float>(H);
    f.height /= static_cast<float>(H);
    GLIMRA_Log::debug("normalized alpha frame: " + describe(f));
}

bool scannable(const Bitmap& bm) {
    return !bm.empty() && bm.bitsPerSample == 8 && bm.bitsPerPixel == 32;
}

}  // namespace

Bitmap resolveArtwork(const ArtworkSource& s) {
    switch (s.kind) {
        case ArtworkSource::Kind::Name: {
            if (s.text.empty()) return {};
            if (s.text.find('/') == std::string::npos) {
                for (const std::string& candidate :
                     {resourcePath(s.text), resourcePath(s.text + ".png")})
                    if (isReadableFile(candidate)) return loadOrEmpty(candidate);
            }
            if (isReadableFile(s.text)) return loadOrEmpty(s.text);
            return {};
        }
        case ArtworkSource::Kind::Path:
            return loadOrEmpty(s.text);
        case ArtworkSource::Kind::Url: {
            const std::string p = pathOfFileUrl(s.text);
            return p.empty() ? Bitmap{} : loadOrEmpty(p);
        }
        case ArtworkSource::Kind::EncodedData: {
            auto bm = decodeImageToRGBA(s.data);
            return bm ? std::move(*bm) : Bitmap{};
        }
        case ArtworkSource::Kind::Image:
            return s.image;
    }
    return {};
}

AlphaFrame edgeMarginScan(const Bitmap& bm, bool normalized, unsigned margin) {
    if (!scannable(bm)) return {};
    if (bm.planar) GLIMRA_Log::debug("whoa, it's planar!");
    const int W = bm.width, H = bm.height;
    const double AR = static_cast<double>(W) / H;
    GLIMRA_Log::debug(stringWithFormat("image info: width %d, height %d, AR %.2f, size {%d, %d}", W,
                                       H, AR, W, H));
    int N = static_cast<int>(std::min<unsigned>(margin, static_cast<unsigned>(H / 2)));
    N = std::min(N, W / 2);
    int minX = W, minY = H, maxX = 0, maxY = 0;
    const int step = bm.bitsPerPixel / bm.bitsPerSample;
    for (int y = 0; y < H - N; ++y) {
        const std::uint8_t* row = bm.pixels.data() + static_cast<size_t>(y) * bm.bytesPerRow;
        for (int x = 0; x < W - N; ++x) {
            if (row[static_cast<size_t>(x) * step + 3] < 255 && y > N && x > N) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
        }
    }
    GLIMRA_Log::debug(stringWithFormat("alpha frame {{%d,%d},{%d,%d}}", minX, minY, maxX, maxY));
    AlphaFrame f = frameFrom(minX, minY, maxX, maxY, H);
    const double RA = static_cast<double>(f.width) / f.height;
    GLIMRA_Log::debug(stringWithFormat("raw alpha frame: %s AR %.2f", describe(f).c_str(), RA));
    GLIMRA_Log::debug(stringWithFormat("grow factor: %.2f", RA / AR));
    if (normalized) normalize(f, W, H);
    return f;
}

AlphaFrame threshold50Scan(const Bitmap& bm, bool normalized) {
    if (!scannable(bm)) return {};
    if (bm.planar) GLIMRA_Log::debug("whoa, it's planar!");
    const int W = bm.width, H = bm.height;
    int minX = W, minY = H, maxX = 0, maxY = 0;
    const int step = bm.bitsPerPixel / bm.bitsPerSample;
    for (int y = 0; y < H; ++y) {
        const std::uint8_t* row = bm.pixels.data() + static_cast<size_t>(y) * bm.bytesPerRow;
        for (int x = 0; x < W; ++x) {
            if (row[static_cast<size_t>(x) * step + 3] < 50) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
        }
    }
    GLIMRA_Log::debug(stringWithFormat("alpha frame {{%d,%d},{%d,%d}}", minX, minY, maxX, maxY));
    AlphaFrame f = frameFrom(minX, minY, maxX, maxY, H);
    if (normalized) normalize(f, W, H);
    return f;
}

AlphaFrame alphaFrameForImage(const ArtworkSource& s, bool normalized, unsigned margin) {
    return edgeMarginScan(resolveArtwork(s), normalized, margin);
}
AlphaFrame alphaFrameForImage(const ArtworkSource& s, bool normalized) {
    return alphaFrameForImage(s, normalized, 10);
}
AlphaFrame alphaFrameForImageOrlo(const ArtworkSource& s, bool normalized) {
    return threshold50Scan(resolveArtwork(s), normalized);
}

std::vector<AlphaFrame> frameWindows(const Bitmap& bm, bool normalized, unsigned margin) {
    std::vector<AlphaFrame> out;
    if (!scannable(bm)) return out;
    const int W = bm.width, H = bm.height;
    const int N = std::min(
        {static_cast<int>(std::min<unsigned>(margin, static_cast<unsigned>(H))), H / 2, W / 2});
    const int step = bm.bitsPerPixel / bm.bitsPerSample;
    // The edge-margin scan's rule for a see-through pixel.
    auto open = [&](int x, int y) {
        return x > N && y > N && x < W - N && y < H - N &&
               bm.pixels[static_cast<size_t>(y) * bm.bytesPerRow + static_cast<size_t>(x) * step +
                         3] < 255;
    };
    struct Area {
        int minX, minY, maxX, maxY;
        long long pixels;
    };
    std::vector<Area> areas;
    std::vector<std::uint8_t> seen(static_cast<size_t>(W) * H, 0);
    std::vector<std::pair<int, int>> stack;
    for (int y0 = 0; y0 < H; ++y0)
        for (int x0 = 0; x0 < W; ++x0) {
            const size_t at0 = static_cast<size_t>(y0) * W + x0;
            if (seen[at0] || !open(x0, y0)) continue;
            Area a{x0, y0, x0, y0, 0};
            seen[at0] = 1;
            stack.assign(1, {x0, y0});
            while (!stack.empty()) {
                const auto [x, y] = stack.back();
                stack.pop_back();
                ++a.pixels;
                a.minX = std::min(a.minX, x);
                a.maxX = std::max(a.maxX, x);
                a.minY = std::min(a.minY, y);
                a.maxY = std::max(a.maxY, y);
                const std::pair<int, int> next[] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
                for (const auto& [nx, ny] : next) {
                    if (nx < 0 || ny < 0 || nx >= W || ny >= H) continue;
                    const size_t at = static_cast<size_t>(ny) * W + nx;
                    if (seen[at] || !open(nx, ny)) continue;
                    seen[at] = 1;
                    stack.emplace_back(nx, ny);
                }
            }
            const long long least = static_cast<long long>(W) * H / 1000;
            if (a.maxX - a.minX + 1 >= 16 && a.maxY - a.minY + 1 >= 16 && a.pixels >= least)
                areas.push_back(a);
        }
    // Rows: windows whose heights overlap by half the smaller one share a
    // row; rows go top to bottom, windows in a row left to right.
    std::sort(areas.begin(), areas.end(),
              [](const Area& a, const Area& b) { return a.minY < b.minY; });
    std::vector<std::vector<Area>> rows;
    for (const auto& a : areas) {
        bool placed = false;
        if (!rows.empty()) {
            const Area& first = rows.back().front();
            const int overlap = std::min(first.maxY, a.maxY) - std::max(first.minY, a.minY) + 1;
            const int smaller = std::min(first.maxY - first.minY, a.maxY - a.minY) + 1;
            if (overlap * 2 >= smaller) {
                rows.back().push_back(a);
                placed = true;
            }
        }
        if (!placed) rows.push_back({a});
    }
    for (auto& row : rows) {
        std::sort(row.begin(), row.end(),
                  [](const Area& a, const Area& b) { return a.minX < b.minX; });
        for (const auto& a : row) {
            AlphaFrame f = frameFrom(a.minX, a.minY, a.maxX, a.maxY, H);
            if (normalized) normalize(f, W, H);
            out.push_back(f);
        }
    }
    GLIMRA_Log::debug(stringWithFormat("frame windows: %zu", out.size()));
    return out;
}

}  // namespace klik
