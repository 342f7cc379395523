#include "camera/sim/SimJpeg.h"

#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <exiv2/exiv2.hpp>

#include "log/Log.h"

namespace klik {

namespace {

// 3 x 5 glyphs of the digits, one row per 3 bits (most significant left).
constexpr std::uint8_t kGlyphs[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7}};

// Where a number is drawn: digits of `scale`-pixel cells centred at (cx, cy).
struct NumberLayout {
    std::string digits;
    int scale, left, top;
    NumberLayout(unsigned number, int width, int height, int cellsHigh) {
        digits = std::to_string(number);
        scale = std::max(1, height / cellsHigh);
        int w = static_cast<int>(digits.size()) * 4 * scale - scale;
        left = (width - w) / 2;
        top = (height - 5 * scale) / 2;
    }
    bool covers(int x, int y) const {
        if (y < top || y >= top + 5 * scale || x < left) return false;
        int cx = (x - left) / scale, cy = (y - top) / scale;
        size_t digit = static_cast<size_t>(cx / 4);
        int col = cx % 4;
        if (digit >= digits.size() || col == 3) return false;
        return (kGlyphs[digits[digit] - '0'][cy] >> (2 - col)) & 1;
    }
    // Paints the cells of row `y` that covers() holds white, cell by cell.
    void paintRow(int y, int width, std::uint8_t* row) const {
        if (y < top || y >= top + 5 * scale) return;
        const int cy = (y - top) / scale;
        for (size_t d = 0; d < digits.size(); ++d) {
            for (int col = 0; col < 3; ++col) {
                if (!((kGlyphs[digits[d] - '0'][cy] >> (2 - col)) & 1)) continue;
                const int from = std::max(0, left + (static_cast<int>(d) * 4 + col) * scale);
                const int to = std::min(width, left + (static_cast<int>(d) * 4 + col + 1) * scale);
                for (int x = from; x < to; ++x) std::fill_n(row + 3 * x, 3, std::uint8_t{255});
            }
        }
    }
};

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

// Streams rows from `rowFn(y, rowBuffer)` into a JPEG, so even a 6000 x 4000
// picture needs only one row of pixels in memory.
template <class RowFn>
Data encodeRows(int width, int height, int quality, RowFn rowFn) {
    jpeg_compress_struct cinfo;
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onJpegError;
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    std::vector<std::uint8_t> row(static_cast<size_t>(width) * 3);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(out);
        GLIMRA_Log::errf("simulated camera: JPEG encoding failed: %s", err.message);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        rowFn(static_cast<int>(cinfo.next_scanline), row.data());
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Data result(out, out + outSize);
    std::free(out);
    return result;
}

std::uint8_t clamp8(int v) {
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace

Data SimJpeg::encodeRGB(const std::uint8_t* rgb, int width, int height, int quality) {
    const size_t stride = static_cast<size_t>(width) * 3;
    return encodeRows(width, height, quality, [&](int y, std::uint8_t* row) {
        std::copy(rgb + stride * static_cast<size_t>(y), rgb + stride * (y + 1ul), row);
    });
}

Data SimJpeg::makePicture(int width, int height, unsigned shotNumber, const SimExif& exif) {
    if (width <= 0 || height <= 0) return {};
    const NumberLayout number(shotNumber, width, height, 12);
    // The hue turns by a fixed step per shot, so consecutive shots differ at
    // a glance.
    const int phase = static_cast<int>((shotNumber * 67u) % 256u);
    // A camera-size picture has 24 million pixels but at most 256 kinds of
    // gradient row (the vertical part takes 256 values): each kind is
    // worked out once and copied into the rows that share it, so the
    // simulated camera does not outweigh the kiosk it feeds.
    std::vector<int> column(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x) column[static_cast<size_t>(x)] = x * 255 / width;
    std::vector<std::uint8_t> gradient(static_cast<size_t>(width) * 3);
    int gradientOf = -1;  // the vertical part `gradient` holds
    Data jpeg = encodeRows(width, height, 90, [&](int y, std::uint8_t* row) {
        const int rowPart = y * 255 / height;
        if (rowPart != gradientOf) {
            gradientOf = rowPart;
            const std::uint8_t blue = clamp8((rowPart + 2 * phase) % 256);
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = gradient.data() + 3 * x;
                const int g = (column[static_cast<size_t>(x)] + rowPart) / 2;
                p[0] = clamp8((g + phase) % 256);
                p[1] = clamp8((255 - g + phase / 2) % 256);
                p[2] = blue;
            }
        }
        std::copy(gradient.begin(), gradient.end(), row);
        number.paintRow(y, width, row);
    });
    if (jpeg.empty()) return jpeg;
    if (!addExif(jpeg, exif)) return {};
    return jpeg;
}

Data SimJpeg::makeLiveViewFrame(int width, int height, unsigned frameNumber,
                                std::vector<std::uint8_t>& rgb) {
    if (width <= 0 || height <= 0) return {};
    rgb.resize(static_cast<size_t>(width) * height * 3);
    const NumberLayout number(frameNumber, width, height, 20);
    const int barWidth = std::max(4, width / 16);
    const int barLeft = static_cast<int>((frameNumber * 8u) % static_cast<unsigned>(width));
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = rgb.data() + static_cast<size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = row + 3 * x;
            int dx = x - barLeft;
            if (number.covers(x, y)) {
                p[0] = p[1] = p[2] = 0;
            } else if (dx >= 0 && dx < barWidth) {
                p[0] = 250, p[1] = 210, p[2] = 40;
            } else {
                p[0] = clamp8(x * 200 / width + 30);
                p[1] = clamp8(y * 200 / height + 30);
                p[2] = 128;
            }
        }
    }
    return encodeRGB(rgb.data(), width, height, 75);
}

bool SimJpeg::addExif(Data& jpeg, const SimExif& e) {
    try {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
        if (!image.get()) return false;
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Make"] = e.make;
        exif["Exif.Image.Model"] = e.model;
        exif["Exif.Image.DateTime"] = e.dateTime;
        exif["Exif.Image.Orientation"] = std::uint16_t(1);
        exif["Exif.Photo.DateTimeOriginal"] = e.dateTime;
        exif["Exif.Photo.DateTimeDigitized"] = e.dateTime;
        exif["Exif.Photo.ExposureTime"] =
            Exiv2::URational(e.exposureNumerator, e.exposureDenominator);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(e.fNumberTenths, 10);
        exif["Exif.Photo.ISOSpeedRatings"] = e.iso;
        if (!e.imageUniqueId.empty()) exif["Exif.Photo.ImageUniqueID"] = e.imageUniqueId;
        image->setExifData(exif);
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        Exiv2::DataBuf buf = io.read(static_cast<long>(io.size()));
        if (buf.size_ <= 0) return false;
        jpeg.assign(buf.pData_, buf.pData_ + buf.size_);
        return true;
    } catch (const std::exception& ex) {
        GLIMRA_Log::errf("simulated camera: writing EXIF failed: %s", ex.what());
        return false;
    }
}

}  // namespace klik
