#include "app/Picture.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace klik {

namespace {
std::uint8_t channel(double v) {
    if (!(v > 0)) return 0;  // also NaN
    if (v >= 1) return 255;
    return static_cast<std::uint8_t>(std::lround(v * 255.0));
}
}  // namespace

std::shared_ptr<const Picture> Picture::fromFile(std::string name, std::string path) {
    std::shared_ptr<Picture> p(new Picture);
    p->name_ = std::move(name);
    p->path_ = std::move(path);
    return p;
}

std::shared_ptr<const Picture> Picture::fromEncoded(std::string name, Data bytes) {
    std::shared_ptr<Picture> p(new Picture);
    p->name_ = std::move(name);
    p->encoded_ = std::move(bytes);
    return p;
}

std::shared_ptr<const Picture> Picture::fromRGBA(std::string name, Data rgba, int width,
                                                 int height) {
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 4)
        return nullptr;
    std::shared_ptr<Picture> p(new Picture);
    p->name_ = std::move(name);
    p->rgba_ = std::move(rgba);
    p->width_ = width;
    p->height_ = height;
    return p;
}

std::shared_ptr<const Picture> Picture::solid(Colour colour, int width, int height) {
    // A guard against absurd sizes: 16384 x 16384 x 4 bytes is already 1 GiB.
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) return nullptr;
    std::shared_ptr<Picture> p(new (std::nothrow) Picture);
    if (!p) return nullptr;
    const std::uint8_t px[4] = {channel(colour.red), channel(colour.green), channel(colour.blue),
                                channel(colour.alpha)};
    try {
        p->rgba_.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    for (size_t i = 0; i < p->rgba_.size(); i += 4) std::copy(px, px + 4, p->rgba_.begin() + i);
    p->width_ = width;
    p->height_ = height;
    p->solid_ = colour;
    p->name_ = "solid";
    return p;
}

}  // namespace klik
