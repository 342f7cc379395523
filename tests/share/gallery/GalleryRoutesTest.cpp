#include <gtest/gtest.h>

#include <vector>

#include "share/gallery/GalleryRoutes.h"

namespace klik {
namespace {

const std::string kToken = "Az09-_AAAAAAAAAAAAAAAA";

TEST(GalleryRoutes, TheFewTargetsThereAreAndEverythingElseIsNoPage) {
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken).route, GalleryRoute::Page);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken).token, kToken);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "?utm=x").route, GalleryRoute::Page);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "/photo.jpg").route, GalleryRoute::Photo);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "/download.jpg").route,
              GalleryRoute::PhotoDownload);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "/thumb.jpg").route, GalleryRoute::Thumbnail);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "/movie").route, GalleryRoute::Movie);
    EXPECT_EQ(parseGalleryTarget("/p/" + kToken + "/movie-download").route,
              GalleryRoute::MovieDownload);
    EXPECT_EQ(parseGalleryTarget("/gallery").route, GalleryRoute::Gallery);
    EXPECT_EQ(parseGalleryTarget("/wall").route, GalleryRoute::Wall);
    EXPECT_EQ(parseGalleryTarget("/wall.js").route, GalleryRoute::WallScript);
    EXPECT_EQ(parseGalleryTarget("/wall/events").route, GalleryRoute::WallEvents);
    for (GalleryRoute r :
         {GalleryRoute::Page, GalleryRoute::Photo, GalleryRoute::Thumbnail, GalleryRoute::Movie,
          GalleryRoute::MovieDownload, GalleryRoute::PhotoDownload})
        EXPECT_EQ(parseGalleryTarget(galleryPathFor(r, kToken)).route, r);
    for (const std::string& t :
         std::vector<std::string>{std::string(""),
                                  std::string("/"),
                                  std::string("/p/"),
                                  "/p/" + kToken + "/",
                                  "/p/" + kToken + "/photo.jpg/",
                                  "/p/" + kToken + "/../photo.jpg",
                                  "/p/" + kToken + "x",
                                  "/p/" + kToken.substr(1),
                                  "//p/" + kToken,
                                  "/P/" + kToken,
                                  "/p//" + kToken,
                                  "/p/%41" + kToken.substr(3),
                                  "/p/" + kToken + "%2Fphoto.jpg",
                                  "/p/" + kToken + "/%2e%2e/%2e%2e/etc/passwd",
                                  "/p/../../../../etc/passwd",
                                  "/p/..%2F..%2Fetc%2Fpasswd",
                                  "/gallery/",
                                  "/wall/",
                                  "/wall.js/x",
                                  "/index.html",
                                  "http://127.0.0.1/p/" + kToken,
                                  "/p/" + kToken + "#x",
                                  std::string("/p/\0x", 5),
                                  "/p/" + kToken + "/photo.jpg\r\n"})
        EXPECT_EQ(parseGalleryTarget(t).route, GalleryRoute::NotFound) << t;
}

TEST(GalleryRoutes, OneByteRangeAtMost) {
    ByteRange r;
    EXPECT_EQ(parseByteRange("", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("bytes=0-9", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.last, 9u);
    EXPECT_EQ(parseByteRange("bytes=90-", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.first, 90u);
    EXPECT_EQ(r.last, 99u);
    EXPECT_EQ(parseByteRange("bytes=-5", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.first, 95u);
    EXPECT_EQ(parseByteRange("bytes=-500", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.last, 99u);
    // Past the end: cut at the end, or unsatisfiable when it starts there.
    EXPECT_EQ(parseByteRange("bytes=95-2000", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.last, 99u);
    EXPECT_EQ(parseByteRange("bytes=100-", 100, r), RangeAnswer::Unsatisfiable);
    EXPECT_EQ(parseByteRange("bytes=2000-3000", 100, r), RangeAnswer::Unsatisfiable);
    EXPECT_EQ(parseByteRange("bytes=-0", 100, r), RangeAnswer::Unsatisfiable);
    // Ignored: several ranges, other units, nonsense.
    EXPECT_EQ(parseByteRange("bytes=0-1,5-6", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("items=0-1", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("bytes=abc", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("bytes=9-1", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("bytes=99999999999999999999-", 100, r), RangeAnswer::Whole);
    EXPECT_EQ(parseByteRange("BYTES= 10 - 19 ", 100, r), RangeAnswer::Partial);
    EXPECT_EQ(r.first, 10u);
}

}  // namespace
}  // namespace klik
