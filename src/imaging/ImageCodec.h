#pragma once
// Decoding and encoding of the picture formats the kiosk meets: JPEG through
// libjpeg-turbo, PNG through libpng. Every decoder yields 8-bit RGBA so the
// alpha scans and the drawing code see one layout.
//
// Any thread; no shared state. Failures return nullopt / false and put the
// library's reason into `error` when given.

#include <cstddef>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"

namespace klik {

struct JpegInfo {
    int width = 0;
    int height = 0;
    int components = 0;
};

// Reads only the header of a JPEG.
std::optional<JpegInfo> readJpegInfo(const Data& jpeg, std::string* error = nullptr);
// True when the bytes start like a JPEG (SOI marker).
bool looksLikeJpeg(const Data& bytes);
bool looksLikePng(const Data& bytes);

// Full decodes to RGBA (JPEG: alpha 255 everywhere).
std::optional<Bitmap> decodeJpegToRGBA(const Data& jpeg, std::string* error = nullptr);
std::optional<Bitmap> decodePngToRGBA(const Data& png, std::string* error = nullptr);
// JPEG or PNG by their signature.
std::optional<Bitmap> decodeImageToRGBA(const Data& bytes, std::string* error = nullptr);
std::optional<Bitmap> loadBitmapFromFile(const std::string& path, std::string* error = nullptr);

// Encodes an RGBA bitmap (alpha dropped) as baseline JPEG at `quality`
// (1-100); `exifApp1` (the APP1 payload starting "Exif\0\0") is written
// right after SOI when not empty.
std::optional<Data> encodeJpegFromRGBA(const Bitmap& bm, int quality, const Data& exifApp1 = {},
                                       std::string* error = nullptr);
// Encodes an RGBA bitmap as PNG with alpha.
std::optional<Data> encodePngFromRGBA(const Bitmap& bm, std::string* error = nullptr);

// Largest picture file read whole: far above any camera's JPEG, far below
// what would exhaust the kiosk's memory.
inline constexpr std::size_t kMaximumImageFileBytes = 256u << 20;

// Whole-file helpers. Only regular files up to kMaximumImageFileBytes are
// read: a folder or a FIFO given by mistake is an error, never a hang.
std::optional<Data> readFileData(const std::string& path, std::string* error = nullptr);

}  // namespace klik
