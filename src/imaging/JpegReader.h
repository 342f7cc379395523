#pragma once
// The steps every whole-picture JPEG decode shares: a decompressor with the
// error manager that jumps back instead of exiting, the header read from
// memory, the pixel limit, and the output as RGBA (CMYK files are read as
// CMYK and converted afterwards).
//
// The setjmp itself has to stay in the decoding function's own frame (a
// jump back into a frame that has returned is undefined), so a decode reads:
//
//     JpegReader r;
//     if (setjmp(r.err.jump)) return r.fail(error), std::nullopt;
//     r.readHeader(jpeg);
//
// JpegReader has no destructor of its own: it may sit in a frame that
// longjmp returns to.

// jpeglib.h uses FILE and size_t without including their headers.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <string>

#include "foundation/Value.h"
#include "imaging/Bitmap.h"
#include "imaging/JpegError.h"

namespace klik {

struct JpegReader {
    jpeg_decompress_struct d{};
    JpegErrorManager err;

    JpegReader() { d.err = err.install(); }
    JpegReader(const JpegReader&) = delete;
    JpegReader& operator=(const JpegReader&) = delete;

    // After a jump back: the library's message into `error`, the decoder
    // released.
    void fail(std::string* error);
    // Creates the decoder on `jpeg` (which must outlive it) and reads the
    // header. May jump back.
    void readHeader(const Data& jpeg);
    // After readHeader: refuses a picture beyond the pixel limit (false, the
    // reason in `error`, the decoder released) and asks for RGBA rows, or
    // for CMYK rows when the file carries CMYK (see isCmyk()).
    bool prepareRGBA(std::string* error);
    bool isCmyk() const { return d.out_color_space == JCS_CMYK; }
};

// Rows read as Adobe's inverted CMYK (what such files carry) turned into
// opaque RGBA, in place.
void convertInvertedCmykToRGBA(Bitmap& bm);

}  // namespace klik
