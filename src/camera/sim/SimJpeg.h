#pragma once
// The pictures the simulated camera produces: a full-size photo with an
// EXIF block as a camera writes one, and live-view frames, all real JPEG
// made with libjpeg-turbo. Each picture shows its number so a test (or an
// operator watching the kiosk) can tell shots and frames apart.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

struct SimExif {
    std::string make;
    std::string model;
    std::string dateTime;  // "YYYY:MM:DD HH:MM:SS", local time
    std::uint32_t exposureNumerator = 1, exposureDenominator = 60;
    std::uint32_t fNumberTenths = 56;  // f/5.6
    std::uint16_t iso = 100;
    // Exif.Photo.ImageUniqueID when not empty: tells every picture of a run
    // apart, whichever body or shot number made it.
    std::string imageUniqueId;
};

class SimJpeg {
  public:
    // A width x height photo: a diagonal colour gradient whose hue follows
    // the shot number, with the number drawn large in the middle, encoded at
    // quality 90 and tagged with `exif`. Empty on failure (logged). Any thread.
    static Data makePicture(int width, int height, unsigned shotNumber, const SimExif& exif);

    // One live-view frame: a moving bar over a gradient with the frame
    // number, quality 75, no EXIF. `rgbScratch` is reused between calls.
    static Data makeLiveViewFrame(int width, int height, unsigned frameNumber,
                                  std::vector<std::uint8_t>& rgbScratch);

    // Encodes tightly packed RGB rows. Empty on failure. Any thread.
    static Data encodeRGB(const std::uint8_t* rgb, int width, int height, int quality);

    // Adds the EXIF block to JPEG bytes with exiv2; false on failure (logged).
    static bool addExif(Data& jpeg, const SimExif& exif);
};

}  // namespace klik
