#pragma once
// Artwork for tests: exactly the names it is given exist; the reference
// window is whatever `reference` holds.

#include <set>
#include <string>

#include "app/ArtworkPort.h"

namespace klik::test {

class FakeArtwork : public ArtworkPort {
  public:
    PicturePtr imageNamed(const std::string& name) const override {
        if (!names.count(name)) return nullptr;
        return Picture::fromFile(name, "/artwork/" + name + ".png");
    }
    std::optional<ReferenceWindow> liveVideoReferenceWindow() const override {
        ++referenceLookups;
        return reference;
    }
    std::set<std::string> names;
    std::optional<ReferenceWindow> reference;
    mutable int referenceLookups = 0;
};

}  // namespace klik::test
