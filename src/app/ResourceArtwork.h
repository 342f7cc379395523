#pragma once
// Artwork from the resources folder: `name` with the first of the picture
// extensions png, jpg, jpeg, tif, tiff, gif, bmp that exists as a file.

#include <string>

#include "app/ArtworkPort.h"

namespace klik {

class ResourceArtwork : public ArtworkPort {
  public:
    // Looks in `directory` (default: the resources folder in force).
    explicit ResourceArtwork(std::string directory = {});

    PicturePtr imageNamed(const std::string& name) const override;

  private:
    std::string directory_;
};

}  // namespace klik
