#pragma once
// Turns live-view frames into images the view draws, without touching the
// heap once it has seen a frame or two: one decompressor kept for every
// frame, its per-frame memory served from an arena of its own that is
// reused from frame to frame, and the images themselves recycled (their
// pixel and byte buffers keep their room) as soon as nobody else holds them.
//
// One thread at a time (the camera's frame loop); the images it returns may
// go to any thread and are recycled only once every other holder has let go.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "camera/QZNSImageFlipped.h"

namespace klik {

class LiveViewDecoder {
  public:
    LiveViewDecoder();
    ~LiveViewDecoder();
    LiveViewDecoder(const LiveViewDecoder&) = delete;
    LiveViewDecoder& operator=(const LiveViewDecoder&) = delete;

    // The frame in `bytes` (`length` bytes, copied: the buffer may be
    // written again as soon as this returns) as an image; null, with the
    // decoder's message in `error` when given, when it is no decodable JPEG.
    std::shared_ptr<QZNSImageFlipped> decode(const std::uint8_t* bytes, std::size_t length,
                                             std::string* error = nullptr);

    // Images given back and waiting to be reused, for the tests.
    std::size_t spareImages() const;
    // The most images that are recycled: the one being made, one waiting
    // for the main thread, one on its way in a notification, the view's
    // newest and the one it drew last, and one spare. More at once are made
    // and freed as usual.
    static constexpr std::size_t kPoolSize = 6;

    struct Impl;
    struct ImagePool;

  private:
    std::unique_ptr<Impl> impl_;
    std::shared_ptr<ImagePool> pool_;
};

}  // namespace klik
