#include "photo/AlphaFrameArtwork.h"

#include "imaging/AlphaFrame.h"
#include "log/Log.h"

namespace klik {

namespace {

// The picture's pixels as an RGBA bitmap: decoded pixels when it carries
// them, else its encoded bytes, else its file.
Bitmap bitmapOf(const Picture& p) {
    if (!p.rgba().empty() && p.width() > 0 && p.height() > 0) {
        Bitmap bm;
        bm.width = p.width();
        bm.height = p.height();
        bm.bytesPerRow = p.width() * 4;
        bm.pixels = p.rgba();
        return bm;
    }
    if (!p.encoded().empty()) return resolveArtwork(ArtworkSource::encoded(p.encoded()));
    if (!p.path().empty())
        return resolveArtwork(ArtworkSource{ArtworkSource::Kind::Path, p.path(), {}, {}});
    return {};
}

}  // namespace

AlphaFrameArtwork::AlphaFrameArtwork(const ArtworkPort& artwork) : artwork_(artwork) {}

PicturePtr AlphaFrameArtwork::imageNamed(const std::string& name) const {
    return artwork_.imageNamed(name);
}

std::optional<ArtworkPort::ReferenceWindow> AlphaFrameArtwork::liveVideoReferenceWindow() const {
    const PicturePtr picture = artwork_.imageNamed("LiveVideoReference");
    if (!picture) return std::nullopt;
    const Bitmap bm = bitmapOf(*picture);
    if (bm.empty()) {
        GLIMRA_Log::errf("LiveVideoReference: cannot decode the artwork [%s]",
                         picture->path().c_str());
        return std::nullopt;
    }
    const AlphaFrame f = threshold50Scan(bm, false);
    ReferenceWindow out;
    out.window = Rect{f.x, f.y, f.width, f.height};
    out.referenceWidth = bm.width;
    out.referenceHeight = bm.height;
    return out;
}

}  // namespace klik
