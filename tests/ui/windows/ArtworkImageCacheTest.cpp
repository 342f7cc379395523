#include "ui/windows/ArtworkImageCache.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "support/TempDir.h"

namespace klik {
namespace {

class ArtworkImageCacheTest : public testing::Test {
  protected:
    // A 64 x 32 PNG of one colour at `name` in the temporary folder.
    std::string writeArtwork(const std::string& name, QColor colour) {
        QImage image(64, 32, QImage::Format_ARGB32);
        image.fill(colour);
        std::string path = dir.file(name);
        // Written beside it and renamed over it, as an operator's copy
        // tool would: the file is never seen half-written.
        const std::string part = path + ".part.png";
        EXPECT_TRUE(image.save(QString::fromStdString(part), "PNG"));
        std::filesystem::rename(part, path);
        return path;
    }
    static std::size_t bytesOfOne() { return QImage(64, 32, QImage::Format_ARGB32).sizeInBytes(); }

    test::TempDir dir;
};

TEST_F(ArtworkImageCacheTest, FilesAreDecodedOnceAgainWhenChangedAndNeverKeptWhenUnreadable) {
    ArtworkImageCache cache;
    const std::string path = writeArtwork("touch1.png", Qt::red);
    const QImage first = cache.image(path);
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.pixelColor(3, 3), QColor(Qt::red));
    // The same pixels, not a second decode of them.
    EXPECT_EQ(cache.image(path).cacheKey(), first.cacheKey());
    EXPECT_EQ(cache.count(), 1u);

    // The operator puts new artwork in its place: it is what is shown.
    writeArtwork("touch1.png", Qt::blue);
    const QImage changed = cache.image(path);
    EXPECT_EQ(changed.pixelColor(3, 3), QColor(Qt::blue));
    EXPECT_NE(changed.cacheKey(), first.cacheKey());
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.bytes(), bytesOfOne());

    // Missing or undecodable files are not kept (touch1 alone stays), and
    // are read once mended.
    const std::string live2 = dir.file("live2.png");
    EXPECT_TRUE(cache.image(live2).isNull());
    std::ofstream(live2) << "not a picture";
    EXPECT_TRUE(cache.image(live2).isNull());
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_EQ(cache.bytes(), bytesOfOne());

    writeArtwork("live2.png", Qt::green);
    EXPECT_EQ(cache.image(live2).pixelColor(0, 0), QColor(Qt::green));
    // Once gone again, its old pixels are not shown for it.
    std::filesystem::remove(live2);
    EXPECT_TRUE(cache.image(live2).isNull());
    EXPECT_EQ(cache.count(), 1u);
}

TEST_F(ArtworkImageCacheTest, BeyondItsBoundTheLeastRecentlyShownPictureGoes) {
    ArtworkImageCache cache(2 * bytesOfOne());
    const std::string a = writeArtwork("a.png", Qt::red);
    const std::string b = writeArtwork("b.png", Qt::green);
    const std::string c = writeArtwork("c.png", Qt::blue);
    const qint64 keyA = cache.image(a).cacheKey();
    const qint64 keyB = cache.image(b).cacheKey();
    cache.image(a);  // a is shown again: b is now the oldest
    const qint64 keyC = cache.image(c).cacheKey();
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_EQ(cache.bytes(), 2 * bytesOfOne());
    EXPECT_EQ(cache.image(a).cacheKey(), keyA);
    EXPECT_EQ(cache.image(c).cacheKey(), keyC);
    EXPECT_NE(cache.image(b).cacheKey(), keyB);  // read again

    // A picture larger than the whole bound is shown but never kept.
    ArtworkImageCache small(bytesOfOne() - 1);
    EXPECT_FALSE(small.image(a).isNull());
    EXPECT_EQ(small.count(), 0u);
}

// Showing a screen's picture decodes the next screen's on the cache's own
// thread; only the pictures about to be shown stay decoded.
TEST_F(ArtworkImageCacheTest, TheNextScreenIsTheNextNumberAndDecodingAheadKeepsItReadyAndNoMore) {
    const std::string t1 = writeArtwork("touch1.png", Qt::red);
    const std::string t2 = writeArtwork("touch2.png", Qt::green);
    const std::string t3 = writeArtwork("touch3.png", Qt::blue);
    // The next screen's picture is the next number, or the first after the last.
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(t1), t2);
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(t2), t3);
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(t3), t1);
    // Pictures that are no numbered screen have no next one.
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(writeArtwork("live_flash.png", Qt::red)), "");
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(writeArtwork("EmailError.png", Qt::red)), "");
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(writeArtwork("7.png", Qt::red)), "");
    const std::string lone = writeArtwork("live1.png", Qt::red);
    EXPECT_EQ(ArtworkImageCache::nextScreenPicture(lone), "");

    ArtworkImageCache cache(2 * bytesOfOne(), true);
    EXPECT_EQ(cache.image(t1).pixelColor(3, 3), QColor(Qt::red));
    cache.waitUntilDecodedAhead();
    EXPECT_EQ(cache.count(), 2u);  // touch1 and, ahead, touch2
    // touch2 comes from the cache as it was decoded ahead: the same pixels
    // every time from now on.
    const QImage second = cache.image(t2);
    EXPECT_EQ(second.pixelColor(3, 3), QColor(Qt::green));
    cache.waitUntilDecodedAhead();
    EXPECT_EQ(cache.image(t2).cacheKey(), second.cacheKey());
    // touch3 was decoded ahead in turn and touch1, shown longest ago, let go.
    EXPECT_EQ(cache.count(), 2u);
    EXPECT_LE(cache.bytes(), 2 * bytesOfOne());
    const QImage third = cache.image(t3);
    EXPECT_EQ(third.pixelColor(3, 3), QColor(Qt::blue));
    cache.waitUntilDecodedAhead();  // touch1 again, after the last
    EXPECT_EQ(cache.image(t1).pixelColor(3, 3), QColor(Qt::red));
    EXPECT_EQ(cache.image(t3).cacheKey(), third.cacheKey());

    // Without decoding ahead only what is shown is decoded.
    ArtworkImageCache plain;
    plain.image(t1);
    plain.waitUntilDecodedAhead();
    EXPECT_EQ(plain.count(), 1u);
}

// Many threads asking for pictures while the next ones are decoded ahead
// (the thread sanitizer's run checks the hand-over).
TEST_F(ArtworkImageCacheTest, PicturesAskedForFromSeveralThreadsWhileDecodingAhead) {
    std::vector<std::string> screens;
    for (int i = 1; i <= 5; ++i)
        screens.push_back(
            writeArtwork("live" + std::to_string(i) + ".png", QColor(40 * i, 0, 255 - 40 * i)));
    ArtworkImageCache cache(3 * bytesOfOne(), true);
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 3; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round) {
                const int i = (round + t) % 5;
                if (cache.image(screens[static_cast<size_t>(i)]).pixelColor(3, 3) !=
                    QColor(40 * (i + 1), 0, 255 - 40 * (i + 1)))
                    ++wrong;
            }
        });
    for (auto& th : threads) th.join();
    cache.waitUntilDecodedAhead();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_LE(cache.bytes(), 3 * bytesOfOne());
}

}  // namespace
}  // namespace klik
