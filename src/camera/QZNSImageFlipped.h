#pragma once
// One live-view frame as an image: the frame's JPEG bytes (owned, so later
// frames written into the camera's buffer cannot alter it) decoded into
// RGB pixels. Drawn at a point the view mirrors it top to bottom, as the
// camera's frames arrive upside down for a flipped view; drawn into a
// rectangle it is drawn as a plain image.

#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/Value.h"

namespace klik {

class QZNSImageFlipped {
  public:
    // Decodes `jpeg` (bytes after the end of the JPEG are ignored). Null
    // when the bytes are no decodable JPEG. Any thread; the caller owns it.
    static std::shared_ptr<QZNSImageFlipped> imageWithData(Data jpeg);
    // The same, copying `length` bytes from `bytes` first.
    static std::shared_ptr<QZNSImageFlipped> imageWithBytes(const std::uint8_t* bytes,
                                                            size_t length);

    int width() const { return width_; }
    int height() const { return height_; }
    // Tightly packed RGB rows, top row first.
    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    // The JPEG the image was made from.
    const Data& data() const { return jpeg_; }
    // Drawn at a point, the image is mirrored top to bottom.
    static constexpr bool drawsFlippedAtPoint = true;
    // When the bytes were handed over (for imageWithBytes: taken from the
    // camera's buffer), before decoding; lets a display measure its delay.
    std::chrono::steady_clock::time_point arrivalTime() const { return arrival_; }

  private:
    friend class LiveViewDecoder;  // fills recycled images in place

    Data jpeg_;
    std::vector<std::uint8_t> pixels_;
    int width_ = 0;
    int height_ = 0;
    std::chrono::steady_clock::time_point arrival_;
};

// Decodes a JPEG into RGB rows; false (with the decoder's message in
// `error`) when it cannot. Any thread.
bool decodeJpegRGB(const std::uint8_t* bytes, size_t length, std::vector<std::uint8_t>& rgb,
                   int& width, int& height, std::string* error = nullptr);

}  // namespace klik
