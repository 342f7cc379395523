// klikctl alpha-frame: the transparent window of a piece of artwork, as
// the kiosk finds it to place the live picture or the printed photo.

#include <cstdio>
#include <cstdlib>

#include "imaging/AlphaFrame.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl alpha-frame FILE [--normalized] [--margin N | --threshold50] [--windows]\n"
    "\n"
    "Prints \"x y width height\" of the window (origin bottom-left). Default: the\n"
    "edge-margin scan (alpha < 255) with a margin of 10 pixels; --threshold50 scans\n"
    "every pixel for alpha < 50. FILE is a resource name or a PNG/JPEG path.\n"
    "--windows: every window of a frame drawn for several photos, one line each,\n"
    "in the order the shots fill them (top to bottom, then left to right); exit\n"
    "status 1 when there is none.";

const Command& self();

int run(const Args& a) {
    std::string file;
    bool normalized = false, threshold = false, marginGiven = false, windows = false;
    unsigned margin = 10;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i] == "--normalized") {
            normalized = true;
        } else if (a[i] == "--windows") {
            windows = true;
        } else if (a[i] == "--threshold50") {
            threshold = true;
        } else if (a[i] == "--margin") {
            if (i + 1 >= a.size()) return usageError(self(), "--margin needs a number");
            char* end = nullptr;
            const long v = std::strtol(a[i + 1].c_str(), &end, 10);
            if (*end != '\0' || v < 0 || a[i + 1].empty())
                return usageError(self(), "not a margin: " + a[i + 1]);
            margin = static_cast<unsigned>(v);
            marginGiven = true;
            ++i;
        } else if (file.empty()) {
            file = a[i];
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    if (file.empty()) return usageError(self(), "missing FILE");
    if (threshold && marginGiven)
        return usageError(self(), "--margin and --threshold50 exclude each other");
    if (windows && threshold) return usageError(self(), "--windows uses the edge-margin scan");
    const auto src = ArtworkSource::named(file);
    const Bitmap art = resolveArtwork(src);
    if (art.empty()) {
        std::fprintf(stderr, "klikctl alpha-frame: cannot read artwork %s\n", file.c_str());
        return 1;
    }
    if (windows) {
        const auto all = frameWindows(art, normalized, margin);
        for (const auto& f : all) std::printf("%g %g %g %g\n", f.x, f.y, f.width, f.height);
        if (all.empty())
            std::fprintf(stderr, "klikctl alpha-frame: %s has no window\n", file.c_str());
        return all.empty() ? 1 : 0;
    }
    const AlphaFrame f = threshold ? alphaFrameForImageOrlo(src, normalized)
                                   : alphaFrameForImage(src, normalized, margin);
    std::printf("%g %g %g %g\n", f.x, f.y, f.width, f.height);
    return 0;
}

const Command& self() {
    static const Command c{"alpha-frame", "find the transparent window of artwork", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
