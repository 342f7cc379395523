#include "TestImages.h"

#include <exiv2/exiv2.hpp>

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>

#include "imaging/ImageCodec.h"

namespace klik::test {

Data withExifData(const Data& jpeg, const Exiv2::ExifData& exif) {
    auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
    image->readMetadata();
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.open();
    Data out(static_cast<size_t>(io.size()));
    io.read(out.data(), static_cast<long>(out.size()));
    io.close();
    return out;
}

Data withClaimedSize(Data jpeg, int w, int h) {
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<std::uint8_t>(h >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(h & 0xFF);
            jpeg[i + 7] = static_cast<std::uint8_t>(w >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(w & 0xFF);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no frame header";
    return jpeg;
}

Data makeBarJpeg(int w, int h, const std::vector<int>& barLefts, const std::string& make) {
    Bitmap bm = Bitmap::rgba(w, h, 40, 40, 40);
    for (int x0 : barLefts)
        for (int y = 0; y < h; ++y)
            for (int x = x0; x < x0 + 32 && x < w; ++x) {
                auto* p = bm.pixel(x, y);
                p[0] = p[1] = p[2] = 230;
            }
    Data jpeg = *encodeJpegFromRGBA(bm, 95);
    if (make.empty()) return jpeg;
    Exiv2::ExifData exif;
    exif["Exif.Image.Make"] = make;
    exif["Exif.Photo.DateTimeOriginal"] = "2011:03:05 14:30:15";
    return withExifData(jpeg, exif);
}

Data makeRowBarJpeg(int w, int h, const std::vector<int>& barTops) {
    Bitmap bm = Bitmap::rgba(w, h, 40, 40, 40);
    for (int y0 : barTops)
        for (int y = y0; y < y0 + 32 && y < h; ++y)
            for (int x = 0; x < w; ++x) {
                auto* p = bm.pixel(x, y);
                p[0] = p[1] = p[2] = 230;
            }
    return *encodeJpegFromRGBA(bm, 95);
}

double meanRed(const Bitmap& bm, int x0, int x1, int y0, int y1) {
    double sum = 0;
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            sum += bm.pixel(x, y)[0];
            ++n;
        }
    return n ? sum / n : 0;
}

std::string exifValue(const Data& jpeg, const std::string& key) {
    auto image = Exiv2::ImageFactory::open(jpeg.data(), static_cast<long>(jpeg.size()));
    image->readMetadata();
    auto it = image->exifData().findKey(Exiv2::ExifKey(key));
    return it == image->exifData().end() ? "" : it->toString();
}

std::string runCommand(const std::string& command, int* status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) return out;
    std::array<char, 4096> buf{};
    size_t n;
    while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
    int rc = ::pclose(p);
    if (status) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

}  // namespace klik::test
