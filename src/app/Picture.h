#pragma once
// A picture a view shows: artwork found by name in the resources (path set,
// pixels decoded by the UI), a photo (encoded bytes, or decoded for the
// screen as RGBA pixels), or a picture made in memory (RGBA pixels).
// Immutable once made; shared between views.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/Colour.h"
#include "foundation/Value.h"

namespace klik {

// The name of a live-view frame's picture: the controller gives it to each
// frame it shows, and the live view's widget draws its own camera frames
// only while the picture it shows carries it.
inline constexpr const char* kLiveViewPictureName = "liveView";

class Picture {
  public:
    // Artwork or a photo file at `path`, named `name` (size unknown: 0).
    static std::shared_ptr<const Picture> fromFile(std::string name, std::string path);
    // Encoded picture bytes (JPEG, PNG) in memory.
    static std::shared_ptr<const Picture> fromEncoded(std::string name, Data bytes);
    // width x height pixels filled with `colour`; nullptr when either side is
    // not positive or the pixels cannot be allocated.
    static std::shared_ptr<const Picture> solid(Colour colour, int width, int height);
    // Decoded pixels: `rgba` holds width x height RGBA pixels, top row
    // first; nullptr when the sizes do not match the bytes.
    static std::shared_ptr<const Picture> fromRGBA(std::string name, Data rgba, int width,
                                                   int height);

    const std::string& name() const { return name_; }
    const std::string& path() const { return path_; }
    const Data& encoded() const { return encoded_; }
    // Row-major RGBA, 4 bytes a pixel, top row first; empty unless made in
    // memory or decoded.
    const Data& rgba() const { return rgba_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The fill colour of a solid picture.
    const std::optional<Colour>& solidColour() const { return solid_; }

  private:
    Picture() = default;
    std::string name_;
    std::string path_;
    Data encoded_;
    Data rgba_;
    int width_ = 0;
    int height_ = 0;
    std::optional<Colour> solid_;
};

using PicturePtr = std::shared_ptr<const Picture>;

}  // namespace klik
