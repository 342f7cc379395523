#include "ui/windows/ArtworkImageCache.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <filesystem>
#include <fstream>

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

TEST_F(ArtworkImageCacheTest, AnUnchangedFileIsDecodedOnceAndAChangedOneAgain) {
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
}

TEST_F(ArtworkImageCacheTest, MissingOrUndecodableFilesAreNotKeptAndAreReadOnceMended) {
    ArtworkImageCache cache;
    const std::string path = dir.file("live2.png");
    EXPECT_TRUE(cache.image(path).isNull());
    std::ofstream(path) << "not a picture";
    EXPECT_TRUE(cache.image(path).isNull());
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.bytes(), 0u);

    writeArtwork("live2.png", Qt::green);
    EXPECT_EQ(cache.image(path).pixelColor(0, 0), QColor(Qt::green));
    // Once gone again, its old pixels are not shown for it.
    std::filesystem::remove(path);
    EXPECT_TRUE(cache.image(path).isNull());
    EXPECT_EQ(cache.count(), 0u);
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

}  // namespace
}  // namespace klik
