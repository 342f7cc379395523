#include "imaging/ImageLimits.h"

#include <atomic>

#include "log/Log.h"

namespace klik {

namespace {
std::atomic<std::uint64_t> gLimit{kDefaultImagePixelLimit};
}  // namespace

std::uint64_t imagePixelLimit() {
    return gLimit.load(std::memory_order_relaxed);
}

void setImagePixelLimit(std::uint64_t pixels) {
    gLimit.store(pixels == 0 ? kDefaultImagePixelLimit : pixels, std::memory_order_relaxed);
}

void applyImagePixelLimitSetting(Settings& settings) {
    const long long mega = settings.integerForKey(kImagePixelLimitKey);
    setImagePixelLimit(mega >= 1 ? static_cast<std::uint64_t>(mega) * 1'000'000 : 0);
}

std::string pixelLimitProblem(std::uint64_t width, std::uint64_t height) {
    const std::uint64_t limit = imagePixelLimit();
    if (width == 0 || height == 0) return "the picture claims no pixels";
    // Both sides fit 32 bits in every format read here, so the product
    // cannot overflow 64 bits.
    if (width * height <= limit) return "";
    return stringWithFormat(
        "the picture is %llu x %llu pixels (%llu megapixels), more than the limit of %llu "
        "megapixels; it is not decoded",
        static_cast<unsigned long long>(width), static_cast<unsigned long long>(height),
        static_cast<unsigned long long>(width * height / 1'000'000),
        static_cast<unsigned long long>(limit / 1'000'000));
}

}  // namespace klik
