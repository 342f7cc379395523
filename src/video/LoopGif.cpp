#include "video/LoopGif.h"

#include <gif_lib.h>
#include <libimagequant.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

namespace klik {

namespace {

struct LiqAttr {
    void operator()(liq_attr* a) const { liq_attr_destroy(a); }
};
struct LiqHistogram {
    void operator()(liq_histogram* h) const { liq_histogram_destroy(h); }
};
struct LiqImage {
    void operator()(liq_image* i) const { liq_image_destroy(i); }
};
struct LiqResult {
    void operator()(liq_result* r) const { liq_result_destroy(r); }
};

bool fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return false;
}

}  // namespace

bool writeAnimatedGif(const std::vector<Bitmap>& frames, const std::string& path,
                      int delayHundredths, std::string* error) {
    if (frames.empty()) return fail(error, "no frames for the GIF");
    const int w = frames.front().width, h = frames.front().height;
    for (const auto& f : frames)
        if (f.width != w || f.height != h || f.bitsPerPixel != 32 || f.bytesPerRow != w * 4 ||
            f.pixels.size() < static_cast<size_t>(w) * h * 4)
            return fail(error, "the GIF's frames must be RGBA of one size");
    if (w > 65535 || h > 65535) return fail(error, "the GIF is too large");

    // One palette from every frame's colours: no flicker between frames.
    std::unique_ptr<liq_attr, LiqAttr> attr(liq_attr_create());
    if (!attr) return fail(error, "libimagequant could not start");
    liq_set_speed(attr.get(), 8);
    std::unique_ptr<liq_histogram, LiqHistogram> hist(liq_histogram_create(attr.get()));
    for (const auto& f : frames) {
        std::unique_ptr<liq_image, LiqImage> img(
            liq_image_create_rgba(attr.get(), f.pixels.data(), w, h, 0));
        if (!img || liq_histogram_add_image(hist.get(), attr.get(), img.get()) != LIQ_OK)
            return fail(error, "libimagequant refused a frame");
    }
    liq_result* raw = nullptr;
    if (liq_histogram_quantize(hist.get(), attr.get(), &raw) != LIQ_OK || !raw)
        return fail(error, "libimagequant found no palette");
    std::unique_ptr<liq_result, LiqResult> result(raw);
    liq_set_dithering_level(result.get(), 1.0f);

    std::vector<std::vector<unsigned char>> indexed;
    indexed.reserve(frames.size());
    for (const auto& f : frames) {
        std::unique_ptr<liq_image, LiqImage> img(
            liq_image_create_rgba(attr.get(), f.pixels.data(), w, h, 0));
        std::vector<unsigned char> px(static_cast<size_t>(w) * h);
        if (!img ||
            liq_write_remapped_image(result.get(), img.get(), px.data(), px.size()) != LIQ_OK)
            return fail(error, "libimagequant could not map a frame to the palette");
        indexed.push_back(std::move(px));
    }
    const liq_palette* pal = liq_get_palette(result.get());

    const std::string part = path + ".part";
    int err = 0;
    GifFileType* gif = EGifOpenFileName(part.c_str(), false, &err);
    if (!gif) return fail(error, std::string("cannot write ") + part + ": " + GifErrorString(err));
    auto closeAndFail = [&](const std::string& what) {
        int e2 = 0;
        EGifCloseFile(gif, &e2);
        ::unlink(part.c_str());
        return fail(error, what + ": " + GifErrorString(gif ? gif->Error : err));
    };
    EGifSetGifVersion(gif, true);
    ColorMapObject* map = GifMakeMapObject(256, nullptr);
    if (!map) return closeAndFail("no colour map");
    for (unsigned i = 0; i < 256; ++i) {
        const bool used = i < pal->count;
        map->Colors[i].Red = used ? pal->entries[i].r : 0;
        map->Colors[i].Green = used ? pal->entries[i].g : 0;
        map->Colors[i].Blue = used ? pal->entries[i].b : 0;
    }
    const bool described = EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK;
    GifFreeMapObject(map);
    if (!described) return closeAndFail("the GIF's screen");
    // Loop forever (the application extension browsers read).
    static const GifByteType kLoopName[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType kForever[] = {1, 0, 0};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif, sizeof kLoopName, kLoopName) != GIF_OK ||
        EGifPutExtensionBlock(gif, sizeof kForever, kForever) != GIF_OK ||
        EGifPutExtensionTrailer(gif) != GIF_OK)
        return closeAndFail("the GIF's loop");
    for (auto& px : indexed) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.DelayTime = std::max(2, delayHundredths);
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t n = EGifGCBToExtension(&gcb, ext);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(n), ext) != GIF_OK ||
            EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) != GIF_OK)
            return closeAndFail("a GIF frame");
        for (int y = 0; y < h; ++y)
            if (EGifPutLine(gif, px.data() + static_cast<size_t>(y) * w, w) != GIF_OK)
                return closeAndFail("a GIF frame's pixels");
    }
    if (EGifCloseFile(gif, &err) != GIF_OK) {
        ::unlink(part.c_str());
        return fail(error, std::string("cannot finish ") + part + ": " + GifErrorString(err));
    }
    if (::rename(part.c_str(), path.c_str()) != 0) {
        const std::string why = std::generic_category().message(errno);
        ::unlink(part.c_str());
        return fail(error, "cannot rename " + part + ": " + why);
    }
    return true;
}

}  // namespace klik
