#pragma once
// Finds the installation's artwork by name ("touch3", "live5",
// "live_flash"). Looked up on every use, so replaced artwork shows at once.

#include <optional>
#include <string>

#include "app/Picture.h"
#include "app/Rect.h"

namespace klik {

class ArtworkPort {
  public:
    // The see-through window of the "LiveVideoReference" artwork: where the
    // live picture goes, in the artwork's pixels (origin bottom-left), and
    // the artwork's size in pixels. `window` is empty when the artwork has
    // no clearly transparent pixel.
    struct ReferenceWindow {
        Rect window;
        double referenceWidth = 0;
        double referenceHeight = 0;
    };

    virtual ~ArtworkPort() = default;

    // Any thread. The picture named `name`, or nullptr when there is none.
    virtual PicturePtr imageNamed(const std::string& name) const = 0;

    // Any thread, blocks while the artwork is read and scanned. nullopt when
    // there is no such artwork, it cannot be decoded, or this port cannot
    // scan artwork (the default).
    virtual std::optional<ReferenceWindow> liveVideoReferenceWindow() const { return std::nullopt; }
};

}  // namespace klik
