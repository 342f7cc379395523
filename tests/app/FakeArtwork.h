#pragma once
// Artwork for tests: exactly the names it is given exist.

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
    std::set<std::string> names;
};

}  // namespace klik::test
