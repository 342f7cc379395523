// The guest data read back out of a stored JPEG's EXIF block.
#include <cstdint>

#include "photo/GLIMRA_XMLinEXIF.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    klik::Data jpeg(data, data + size);
    (void)klik::GLIMRA_XMLinEXIF::userCommentForJpegData(jpeg);
    (void)klik::GLIMRA_XMLinEXIF::propertyListObjectForJpegData(jpeg);
    return 0;
}
