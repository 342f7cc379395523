#include "imaging/JpegReader.h"

#include "imaging/ImageLimits.h"

namespace klik {

void JpegReader::fail(std::string* error) {
    if (error) *error = err.message;
    jpeg_destroy_decompress(&d);
}

void JpegReader::readHeader(const Data& jpeg) {
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&d, TRUE);
}

bool JpegReader::prepareRGBA(std::string* error) {
    if (const std::string tooLarge = pixelLimitProblem(d.image_width, d.image_height);
        !tooLarge.empty()) {
        if (error) *error = tooLarge;
        jpeg_destroy_decompress(&d);
        return false;
    }
    // libjpeg gives CMYK as it is; it is converted once the rows are read.
    const bool cmyk = d.jpeg_color_space == JCS_CMYK || d.jpeg_color_space == JCS_YCCK;
    d.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    return true;
}

void convertInvertedCmykToRGBA(Bitmap& bm) {
    for (size_t i = 0; i + 3 < bm.pixels.size(); i += 4) {
        const unsigned k = bm.pixels[i + 3];
        bm.pixels[i] = static_cast<std::uint8_t>(bm.pixels[i] * k / 255);
        bm.pixels[i + 1] = static_cast<std::uint8_t>(bm.pixels[i + 1] * k / 255);
        bm.pixels[i + 2] = static_cast<std::uint8_t>(bm.pixels[i + 2] * k / 255);
        bm.pixels[i + 3] = 255;
    }
}

}  // namespace klik
