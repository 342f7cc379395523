#pragma once
// Finds the installation's artwork by name ("touch3", "live5",
// "live_flash"). Looked up on every use, so replaced artwork shows at once.

#include <string>

#include "app/Picture.h"

namespace klik {

class ArtworkPort {
  public:
    virtual ~ArtworkPort() = default;

    // Any thread. The picture named `name`, or nullptr when there is none.
    virtual PicturePtr imageNamed(const std::string& name) const = 0;
};

}  // namespace klik
