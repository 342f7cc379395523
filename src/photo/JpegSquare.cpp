#include "photo/JpegSquare.h"

#include <jpeglib.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "photo/JpegError.h"

namespace klik {

SquareGeometry centredSquareGeometry(int width, int height) {
    SquareGeometry g;
    g.sourceWidth = width;
    g.sourceHeight = height;
    g.side = std::min(width, height);
    g.x = (width - g.side) / 2;
    g.y = (height - g.side) / 2;
    return g;
}

Data exifApp1Payload(const Data& jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return {};
    size_t i = 2;
    while (i + 4 <= jpeg.size()) {
        if (jpeg[i] != 0xFF) return {};
        const std::uint8_t marker = jpeg[i + 1];
        if (marker == 0xFF) {  // fill byte
            ++i;
            continue;
        }
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
            i += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return {};  // image data begins: no EXIF before it
        const size_t len = (static_cast<size_t>(jpeg[i + 2]) << 8) | jpeg[i + 3];
        if (len < 2 || i + 2 + len > jpeg.size()) return {};
        if (marker == 0xE1 && len >= 8 && std::memcmp(&jpeg[i + 4], "Exif\0\0", 6) == 0)
            return Data(jpeg.begin() + static_cast<long>(i + 4),
                        jpeg.begin() + static_cast<long>(i + 2 + len));
        i += 2 + len;
    }
    return {};
}

namespace {

struct SquareCoder {
    jpeg_decompress_struct d{};
    jpeg_compress_struct c{};
    JpegErrorManager derr;
    bool dCreated = false;
    bool cCreated = false;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<std::uint8_t> row;

    ~SquareCoder() {
        if (dCreated) jpeg_destroy_decompress(&d);
        if (cCreated) jpeg_destroy_compress(&c);
        std::free(out);
    }
};

// Runs the whole decode-crop-encode; returns false with the message set.
// Kept apart from the public function so no C++ object with a destructor
// lives in the frame that setjmp returns into twice.
bool runSquare(SquareCoder& s, const Data& jpeg, int quality, const Data& exif, SquareGeometry& g,
               char* message) {
    // One error manager serves both structs, so either one jumps here.
    s.d.err = s.derr.install();
    s.c.err = s.d.err;
    if (setjmp(s.derr.jump)) {
        std::strcpy(message, s.derr.message);
        return false;
    }
    jpeg_create_decompress(&s.d);
    s.dCreated = true;
    jpeg_mem_src(&s.d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&s.d, TRUE);

    J_COLOR_SPACE space;
    switch (s.d.jpeg_color_space) {
        case JCS_YCbCr:
            space = JCS_YCbCr;
            break;  // no colour conversion either way
        case JCS_GRAYSCALE:
            space = JCS_GRAYSCALE;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            space = JCS_CMYK;
            break;
        default:
            space = JCS_RGB;
            break;
    }
    s.d.out_color_space = space;
    g = centredSquareGeometry(static_cast<int>(s.d.image_width),
                              static_cast<int>(s.d.image_height));
    jpeg_start_decompress(&s.d);

    // Crop the columns; libjpeg widens the window to whole iMCUs.
    JDIMENSION cropX = static_cast<JDIMENSION>(g.x);
    JDIMENSION cropW = static_cast<JDIMENSION>(g.side);
    if (g.side < static_cast<int>(s.d.output_width))
        jpeg_crop_scanline(&s.d, &cropX, &cropW);
    else
        cropX = 0, cropW = s.d.output_width;
    const int comps = s.d.output_components;
    const size_t skipBytes = static_cast<size_t>(g.x - static_cast<int>(cropX)) * comps;
    s.row.resize(static_cast<size_t>(s.d.output_width) * comps);

    if (g.y > 0) jpeg_skip_scanlines(&s.d, static_cast<JDIMENSION>(g.y));

    jpeg_create_compress(&s.c);
    s.cCreated = true;
    jpeg_mem_dest(&s.c, &s.out, &s.outSize);
    s.c.image_width = static_cast<JDIMENSION>(g.side);
    s.c.image_height = static_cast<JDIMENSION>(g.side);
    s.c.input_components = comps;
    s.c.in_color_space = space;
    jpeg_set_defaults(&s.c);
    jpeg_set_quality(&s.c, quality, TRUE);
    if (!exif.empty()) s.c.write_JFIF_header = FALSE;
    jpeg_start_compress(&s.c, TRUE);
    if (!exif.empty())
        jpeg_write_marker(&s.c, JPEG_APP0 + 1, exif.data(), static_cast<unsigned>(exif.size()));

    for (int line = 0; line < g.side; ++line) {
        JSAMPROW in = s.row.data();
        if (jpeg_read_scanlines(&s.d, &in, 1) != 1) {
            std::strcpy(message, "JPEG data ended early");
            return false;
        }
        JSAMPROW o = s.row.data() + skipBytes;
        jpeg_write_scanlines(&s.c, &o, 1);
    }
    jpeg_finish_compress(&s.c);
    // The rows below the square are never decoded.
    jpeg_abort_decompress(&s.d);
    return true;
}

}  // namespace

std::optional<Data> centredSquareJpeg(const Data& jpeg, int quality, SquareGeometry* geometry,
                                      std::string* error) {
    if (jpeg.size() < 3 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) {
        if (error) *error = "not a JPEG";
        return std::nullopt;
    }
    const Data exif = exifApp1Payload(jpeg);
    SquareGeometry g;
    SquareCoder coder;
    char message[JMSG_LENGTH_MAX] = {0};
    bool square = false;
    {
        // Read the header first: a square source needs no work at all.
        SquareCoder probe;
        probe.d.err = probe.derr.install();
        if (setjmp(probe.derr.jump)) {
            if (error) *error = probe.derr.message;
            return std::nullopt;
        }
        jpeg_create_decompress(&probe.d);
        probe.dCreated = true;
        jpeg_mem_src(&probe.d, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
        jpeg_read_header(&probe.d, TRUE);
        g = centredSquareGeometry(static_cast<int>(probe.d.image_width),
                                  static_cast<int>(probe.d.image_height));
        square = g.sourceWidth == g.sourceHeight;
    }
    if (geometry) *geometry = g;
    if (g.side <= 0) {
        if (error) *error = "empty picture";
        return std::nullopt;
    }
    if (square) return jpeg;
    if (!runSquare(coder, jpeg, quality, exif, g, message)) {
        if (error) *error = message;
        return std::nullopt;
    }
    if (geometry) *geometry = g;
    return Data(coder.out, coder.out + coder.outSize);
}

}  // namespace klik
