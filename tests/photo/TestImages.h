#pragma once
// Pictures made for the photo tests: JPEGs with a known pattern and EXIF,
// PNG artwork with a transparent window.

#include <string>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"

namespace Exiv2 {
class ExifData;
}

namespace klik::test {

// A w x h JPEG, dark grey, with bright vertical bars of 32 columns whose
// left edges are given; quality 95. With `make` non-empty an EXIF block is
// added holding Exif.Image.Make = make and Exif.Photo.DateTimeOriginal.
Data makeBarJpeg(int w, int h, const std::vector<int>& barLefts, const std::string& make = "");
// `jpeg` with its EXIF block replaced by `exif`.
Data withExifData(const Data& jpeg, const Exiv2::ExifData& exif);
// `jpeg` with a frame header claiming `w` x `h` (the data after it is the
// original small picture's).
Data withClaimedSize(Data jpeg, int w, int h);
// The same picture with bright horizontal bars of 32 rows (tops given).
Data makeRowBarJpeg(int w, int h, const std::vector<int>& barTops);
// Mean of the red channel over a column range of a decoded bitmap.
double meanRed(const Bitmap& bm, int x0, int x1, int y0, int y1);
// The value of an EXIF key as exiv2 reads it ("" when absent).
std::string exifValue(const Data& jpeg, const std::string& key);
// Runs a shell command; returns its standard output.
std::string runCommand(const std::string& command, int* status = nullptr);

}  // namespace klik::test
