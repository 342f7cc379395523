#pragma once
// Artwork that can also say where the live picture goes: wraps the artwork
// the kiosk uses and finds the see-through window of "LiveVideoReference"
// with the threshold-50 scan (clearly transparent pixels, alpha < 50).
// Every other look-up goes to the wrapped artwork unchanged.

#include "app/ArtworkPort.h"

namespace klik {

class AlphaFrameArtwork : public ArtworkPort {
  public:
    // `artwork` is borrowed and must outlive this.
    explicit AlphaFrameArtwork(const ArtworkPort& artwork);

    PicturePtr imageNamed(const std::string& name) const override;
    // Any thread; reads, decodes and scans the artwork anew on every call
    // (replaced artwork takes effect at once). Undecodable artwork is
    // logged and gives nullopt.
    std::optional<ReferenceWindow> liveVideoReferenceWindow() const override;

  private:
    const ArtworkPort& artwork_;
};

}  // namespace klik
