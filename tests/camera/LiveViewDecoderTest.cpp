// The frame loop's decoder: the same pixels as a plain decode, images reused
// only once nobody holds them, any frame size in any order, bad frames
// refused without spoiling the next.

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "camera/LiveViewDecoder.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimJpeg.h"

namespace klik {
namespace {

Data frame(int w, int h, unsigned n) {
    std::vector<std::uint8_t> scratch;
    return SimJpeg::makeLiveViewFrame(w, h, n, scratch);
}

void expectDecodedAsPlain(const QZNSImageFlipped& image, const Data& jpeg) {
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(decodeJpegRGB(jpeg.data(), jpeg.size(), rgb, w, h));
    EXPECT_EQ(image.width(), w);
    EXPECT_EQ(image.height(), h);
    EXPECT_TRUE(image.pixels() == rgb);
    EXPECT_TRUE(image.data() == jpeg);
}

TEST(LiveViewDecoder, GivesThePixelsOfAPlainDecodeForEverySizeInAnyOrderAndRefusesBadFrames) {
    LiveViewDecoder decoder;
    // Larger and smaller frames after each other, in the camera's buffer
    // with stale bytes after the frame (the length given is the frame's).
    std::vector<std::uint8_t> buffer(1 << 20, 0x5A);
    unsigned n = 1;
    for (auto [w, h] : {std::pair{320, 240}, {160, 120}, {1056, 704}, {160, 120}, {640, 480}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Data jpeg = frame(w, h, n++);
        std::copy(jpeg.begin(), jpeg.end(), buffer.begin());
        const auto before = std::chrono::steady_clock::now();
        auto image = decoder.decode(buffer.data(), jpeg.size());
        ASSERT_TRUE(image);
        EXPECT_GE(image->arrivalTime(), before);
        expectDecodedAsPlain(*image, jpeg);
    }
    // A bad frame is refused and the next one decodes.
    const Data good = frame(160, 120, 3);
    std::string error;
    const std::uint8_t junk[] = {0xFF, 0xD8, 0x00, 0x01};
    EXPECT_EQ(decoder.decode(junk, sizeof junk, &error), nullptr);
    EXPECT_FALSE(error.empty());
    Data noFrameHeader = good;
    noFrameHeader.resize(20);
    error.clear();
    EXPECT_EQ(decoder.decode(noFrameHeader.data(), noFrameHeader.size(), &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(decoder.decode(nullptr, 100, &error), nullptr);
    auto image = decoder.decode(good.data(), good.size(), &error);
    ASSERT_TRUE(image) << error;
    expectDecodedAsPlain(*image, good);
}

TEST(LiveViewDecoder,
     AnImageHeldElsewhereIsNeverOverwrittenAReleasedOneIsReusedAndImagesOutliveTheirDecoder) {
    LiveViewDecoder decoder;
    const Data a = frame(320, 240, 1), b = frame(320, 240, 2);
    auto first = decoder.decode(a.data(), a.size());
    ASSERT_TRUE(first);
    const QZNSImageFlipped* firstAddress = first.get();
    auto second = decoder.decode(b.data(), b.size());
    ASSERT_TRUE(second);
    EXPECT_NE(second.get(), firstAddress);
    expectDecodedAsPlain(*first, a);  // untouched by the second frame
    expectDecodedAsPlain(*second, b);
    first.reset();
    EXPECT_EQ(decoder.spareImages(), 1u);
    auto third = decoder.decode(b.data(), b.size());
    ASSERT_TRUE(third);
    EXPECT_EQ(third.get(), firstAddress);  // the released one, its room kept
    EXPECT_EQ(decoder.spareImages(), 0u);
    expectDecodedAsPlain(*third, b);

    const Data jpeg = frame(160, 120, 4);  // images outlive their decoder
    std::shared_ptr<QZNSImageFlipped> kept;
    {
        LiveViewDecoder shortLived;
        kept = shortLived.decode(jpeg.data(), jpeg.size());
        auto given = shortLived.decode(jpeg.data(), jpeg.size());
        ASSERT_TRUE(kept && given);
    }
    expectDecodedAsPlain(*kept, jpeg);
    kept.reset();  // freed for good now (the sanitizer runs see a leak or a double free)
}

// Frames handed to another thread, which reads them and lets them go there,
// as the main thread does with the view's frames; every frame it sees is
// whole (the thread sanitizer's run checks the hand-back).
TEST(LiveViewDecoder, FramesReadAndReleasedOnAnotherThreadComeBackWhole) {
    LiveViewDecoder decoder;
    const Data a = frame(320, 240, 5), b = frame(320, 240, 6);
    std::vector<std::uint8_t> pixelsA, pixelsB;
    int w = 0, h = 0;
    ASSERT_TRUE(decodeJpegRGB(a.data(), a.size(), pixelsA, w, h));
    ASSERT_TRUE(decodeJpegRGB(b.data(), b.size(), pixelsB, w, h));
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::pair<std::shared_ptr<QZNSImageFlipped>, bool>> queue;  // image, is a
    bool done = false;
    int wrong = 0, seen = 0;
    std::thread reader([&] {
        for (;;) {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return done || !queue.empty(); });
            if (queue.empty()) return;
            auto [image, isA] = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            if (image->pixels() != (isA ? pixelsA : pixelsB)) ++wrong;
            ++seen;
            image.reset();
        }
    });
    constexpr int kFrames = 60;
    for (int i = 0; i < kFrames; ++i) {
        const Data& jpeg = i % 2 ? b : a;
        auto image = decoder.decode(jpeg.data(), jpeg.size());
        ASSERT_TRUE(image);
        {
            std::lock_guard lock(m);
            queue.emplace_back(std::move(image), i % 2 == 0);
        }
        cv.notify_one();
    }
    {
        std::lock_guard lock(m);
        done = true;
    }
    cv.notify_one();
    reader.join();
    EXPECT_EQ(seen, kFrames);
    EXPECT_EQ(wrong, 0);
    EXPECT_LE(decoder.spareImages(), LiveViewDecoder::kPoolSize);
}

}  // namespace
}  // namespace klik
