#include "imaging/ImageCodec.h"

#include "foundation/RegularFile.h"

#include <jpeglib.h>
#include <png.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "imaging/ImageLimits.h"
#include "imaging/JpegReader.h"

namespace klik {

namespace {

void setError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

}  // namespace

bool looksLikeJpeg(const Data& b) {
    return b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8;
}

bool looksLikePng(const Data& b) {
    static const std::uint8_t sig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return b.size() >= 8 && std::memcmp(b.data(), sig, 8) == 0;
}

std::optional<Data> readFileData(const std::string& path, std::string* error) {
    Data bytes;
    if (!readRegularFileBytes(path, kMaximumImageFileBytes, bytes, error)) return std::nullopt;
    return bytes;
}

std::optional<JpegInfo> readJpegInfo(const Data& jpeg, std::string* error) {
    if (!looksLikeJpeg(jpeg)) {
        setError(error, "not a JPEG");
        return std::nullopt;
    }
    JpegReader r;
    if (setjmp(r.err.jump)) return r.fail(error), std::nullopt;
    r.readHeader(jpeg);
    JpegInfo info{static_cast<int>(r.d.image_width), static_cast<int>(r.d.image_height),
                  r.d.num_components};
    jpeg_destroy_decompress(&r.d);
    return info;
}

std::optional<Bitmap> decodeJpegToRGBA(const Data& jpeg, std::string* error) {
    if (!looksLikeJpeg(jpeg)) {
        setError(error, "not a JPEG");
        return std::nullopt;
    }
    Bitmap bm;
    JpegReader r;
    if (setjmp(r.err.jump)) return r.fail(error), std::nullopt;
    r.readHeader(jpeg);
    if (!r.prepareRGBA(error)) return std::nullopt;
    jpeg_start_decompress(&r.d);
    bm.width = static_cast<int>(r.d.output_width);
    bm.height = static_cast<int>(r.d.output_height);
    bm.bytesPerRow = bm.width * 4;
    bm.pixels.resize(static_cast<size_t>(bm.bytesPerRow) * bm.height);
    while (r.d.output_scanline < r.d.output_height) {
        JSAMPROW row = bm.pixels.data() + static_cast<size_t>(r.d.output_scanline) * bm.bytesPerRow;
        jpeg_read_scanlines(&r.d, &row, 1);
    }
    if (r.isCmyk()) convertInvertedCmykToRGBA(bm);
    jpeg_finish_decompress(&r.d);
    jpeg_destroy_decompress(&r.d);
    return bm;
}

std::optional<Bitmap> decodePngToRGBA(const Data& png, std::string* error) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        setError(error, image.message);
        png_image_free(&image);
        return std::nullopt;
    }
    // Whatever the file holds (palette, grey, 16-bit, no alpha), the
    // simplified API converts it to 8-bit RGBA. Colour values come out
    // sRGB-encoded and not premultiplied.
    if (const std::string tooLarge = pixelLimitProblem(image.width, image.height);
        !tooLarge.empty()) {
        setError(error, tooLarge);
        png_image_free(&image);
        return std::nullopt;
    }
    image.format = PNG_FORMAT_RGBA;
    Bitmap bm;
    bm.width = static_cast<int>(image.width);
    bm.height = static_cast<int>(image.height);
    bm.bytesPerRow = static_cast<int>(PNG_IMAGE_ROW_STRIDE(image));
    bm.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, bm.pixels.data(), bm.bytesPerRow, nullptr)) {
        setError(error, image.message);
        png_image_free(&image);
        return std::nullopt;
    }
    png_image_free(&image);
    return bm;
}

std::optional<Bitmap> decodeImageToRGBA(const Data& bytes, std::string* error) {
    if (looksLikeJpeg(bytes)) return decodeJpegToRGBA(bytes, error);
    if (looksLikePng(bytes)) return decodePngToRGBA(bytes, error);
    setError(error, "neither JPEG nor PNG data");
    return std::nullopt;
}

std::optional<Bitmap> loadBitmapFromFile(const std::string& path, std::string* error) {
    auto data = readFileData(path, error);
    if (!data) return std::nullopt;
    return decodeImageToRGBA(*data, error);
}

std::optional<Data> encodeJpegFromRGBA(const Bitmap& bm, int quality, const Data& exifApp1,
                                       std::string* error) {
    if (bm.empty() || bm.bitsPerPixel != 32 || bm.bitsPerSample != 8) {
        setError(error, "bitmap is not 8-bit RGBA");
        return std::nullopt;
    }
    if (exifApp1.size() > 65533) {
        setError(error, "EXIF block larger than one APP1 segment");
        return std::nullopt;
    }
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_compress_struct c{};
    JpegErrorManager err;
    c.err = err.install();
    if (setjmp(err.jump)) {
        setError(error, err.message);
        jpeg_destroy_compress(&c);
        std::free(out);
        return std::nullopt;
    }
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, &out, &outSize);
    c.image_width = static_cast<JDIMENSION>(bm.width);
    c.image_height = static_cast<JDIMENSION>(bm.height);
    c.input_components = 4;
    c.in_color_space = JCS_EXT_RGBA;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, quality, TRUE);
    if (!exifApp1.empty()) c.write_JFIF_header = FALSE;
    jpeg_start_compress(&c, TRUE);
    if (!exifApp1.empty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, exifApp1.data(),
                          static_cast<unsigned>(exifApp1.size()));
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bm.pixel(0, static_cast<int>(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    Data result(out, out + outSize);
    std::free(out);
    return result;
}

std::optional<Data> encodePngFromRGBA(const Bitmap& bm, std::string* error) {
    if (bm.empty() || bm.bitsPerPixel != 32 || bm.bitsPerSample != 8) {
        setError(error, "bitmap is not 8-bit RGBA");
        return std::nullopt;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(bm.width);
    image.height = static_cast<png_uint_32>(bm.height);
    image.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, bm.pixels.data(), bm.bytesPerRow,
                                         nullptr)) {
        setError(error, image.message);
        return std::nullopt;
    }
    Data out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, bm.pixels.data(), bm.bytesPerRow,
                                   nullptr)) {
        setError(error, image.message);
        return std::nullopt;
    }
    out.resize(size);
    return out;
}

}  // namespace klik
