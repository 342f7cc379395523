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

}  // namespace klik
