// klikctl square: the centred square of a JPEG, as the kiosk cuts every
// kept photo.

#include <iostream>
#include <new>

#include "foundation/PropertyList.h"
#include "foundation/Settings.h"
#include "imaging/ImageCodec.h"
#include "imaging/ImageLimits.h"
#include "imaging/JpegSquare.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl square IN.jpg OUT.jpg\n"
    "\n"
    "Writes the centred square of IN (side = the shorter edge, quality 90, IN's EXIF\n"
    "kept) to OUT and prints \"x y side\" of the square in IN. A damaged JPEG, or\n"
    "one larger than the pixel limit (setting prefImagePixelLimitMegapixels,\n"
    "default 120), is refused with exit status 1.";

const Command& self();

int run(const Args& a) {
    if (a.size() != 2) return usageError(self(), "needs IN and OUT");
    std::string error;
    auto in = readFileData(a[0], &error);
    if (!in) {
        std::cerr << "klikctl square: " << error << "\n";
        return 1;
    }
    applyImagePixelLimitSetting(Settings::standard());
    SquareGeometry g;
    std::optional<Data> out;
    try {
        out = centredSquareJpeg(*in, 90, &g, &error);
    } catch (const std::bad_alloc&) {
        error = "out of memory";
    }
    if (!out) {
        std::cerr << "klikctl square: " << a[0] << ": " << error << "\n";
        return 1;
    }
    const std::string why = writeFileAtomically(std::string(out->begin(), out->end()), a[1]);
    if (!why.empty()) {
        std::cerr << "klikctl square: " << why << "\n";
        return 1;
    }
    std::cout << g.x << " " << g.y << " " << g.side << "\n";
    return 0;
}

const Command& self() {
    static const Command c{"square", "cut the centred square of a JPEG", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
