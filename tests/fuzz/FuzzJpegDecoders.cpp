// Camera pictures: the centred square written for filing, the decode for
// the screen and the one for a print's window.
#include <cstdint>

#include "imaging/JpegSquare.h"
#include "imaging/PhotoDisplayDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const klik::Data bytes(data, data + size);
    (void)klik::centredSquareJpeg(bytes, 90);
    (void)klik::exifApp1Payload(bytes);
    std::string error;
    (void)klik::decodePhotoForDisplay(bytes, 64, &error);
    (void)klik::decodePhotoToCover(bytes, 24, 16, &error);
    return 0;
}
