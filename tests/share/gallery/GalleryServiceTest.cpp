#include <gtest/gtest.h>

#include <vector>

#include "GalleryFixture.h"
#include "imaging/ImageCodec.h"
#include "share/gallery/GalleryPages.h"

namespace klik {
namespace {

using test::GalleryWorld;

// Two answers a client cannot tell apart.
void expectSameAnswer(const GalleryResponse& a, const GalleryResponse& b, const std::string& what) {
    EXPECT_EQ(a.status, b.status) << what;
    EXPECT_EQ(a.contentType, b.contentType) << what;
    EXPECT_EQ(a.headers, b.headers) << what;
    EXPECT_EQ(GalleryWorld::bodyOf(a), GalleryWorld::bodyOf(b)) << what;
}

TEST(GalleryService, TheGuestsPageFitsAPhoneLoadsNothingFromElsewhereAndNoAddressLeaves) {
    GalleryWorld w;
    const std::string token = w.addPhoto("GUEST-001_001122334455_comp_001.jpg",
                                         test::taggedPhoto(900, 900, {"g@example.com"}));
    const GalleryResponse r = w.get("/p/" + token);
    ASSERT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/html; charset=utf-8");
    const std::string page = GalleryWorld::bodyOf(r);
    EXPECT_NE(page.find("name=\"viewport\""), std::string::npos);
    EXPECT_NE(page.find("<img src=\"/p/" + token + "/photo.jpg\""), std::string::npos);
    EXPECT_NE(page.find("width=\"900\" height=\"900\""), std::string::npos);
    EXPECT_NE(page.find("href=\"/p/" + token + "/download.jpg\""), std::string::npos);
    EXPECT_NE(page.find("Download the photo"), std::string::npos);
    EXPECT_NE(page.find("stays until 2024-05-3"), std::string::npos) << "the day the link ends";
    // Offline and without scripts: no other host, no script.
    EXPECT_EQ(page.find("http"), std::string::npos);
    EXPECT_EQ(page.find("//"), std::string::npos);
    EXPECT_EQ(page.find("<script"), std::string::npos);
    EXPECT_EQ(page.find("g@example.com"), std::string::npos);
    EXPECT_NE(r.header("Content-Security-Policy").find("default-src 'none'"), std::string::npos);
    EXPECT_EQ(r.header("X-Content-Type-Options"), "nosniff");
    EXPECT_EQ(r.header("Referrer-Policy"), "no-referrer");
    // The photo and its download carry no address.
    const Data photo = test::taggedPhoto(640, 480, {"guest@example.com"});
    const std::string photoToken = w.addPhoto("G_001122334455_comp_001.jpg", photo);
    for (const char* tail : {"/photo.jpg", "/download.jpg"}) {
        const GalleryResponse r = w.get("/p/" + photoToken + tail);
        ASSERT_EQ(r.status, 200) << tail;
        EXPECT_EQ(r.contentType, "image/jpeg");
        const std::string body = GalleryWorld::bodyOf(r);
        const Data served(body.begin(), body.end());
        EXPECT_EQ(body.find("guest@example.com"), std::string::npos);
        auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegData(served);
        ASSERT_TRUE(payload);
        EXPECT_FALSE(find(*payload->dictionary(), "VZ_emailsForUpload"));
        EXPECT_EQ((*payload)["VZ_kioskStation"], Value("Booth 7"));
        EXPECT_EQ(test::exifValue(served, "Exif.Image.Make"), "GalleryCam");
        EXPECT_EQ(readJpegInfo(served)->width, 640);
    }
    const GalleryResponse download = w.get("/p/" + photoToken + "/download.jpg");
    EXPECT_EQ(download.header("Content-Disposition"),
              "attachment; filename=\"G_001122334455_comp_001.jpg\"; "
              "filename*=UTF-8''G_001122334455_comp_001.jpg");
    EXPECT_EQ(w.get("/p/" + photoToken + "/photo.jpg").header("Content-Disposition"), "");
}

TEST(GalleryService, EveryMissingPageIsTheSameAnswer) {
    GalleryWorld w;
    const std::string token =
        w.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    const GalleryResponse missing = w.get("/nothing-here");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(GalleryWorld::bodyOf(missing), notFoundHtml());
    // A made-up token, a token of another booth's secret for the very same
    // photo, paths that try to leave, the lists while the gallery is private.
    const std::string otherBooth = shareToken(ShareSecret::fromBytes(std::string(32, 'o')),
                                              "2024-05-01/a_001122334455_comp_001.jpg");
    for (const std::string& t : std::vector<std::string>{
             "/p/AAAAAAAAAAAAAAAAAAAAAA", "/p/" + otherBooth, "/p/" + otherBooth + "/photo.jpg",
             "/p/" + token + "/../../../etc/passwd", "/p/%2e%2e%2f%2e%2e%2fetc%2fpasswd",
             "/p/" + token + "%2Fphoto.jpg", std::string("/gallery"), std::string("/wall"),
             std::string("/wall.js"), std::string("/wall/events"), "/p/" + token + "/movie"})
        expectSameAnswer(w.get(t), missing, t);
    // Expired: 30 days after filing the link is gone.
    EXPECT_EQ(w.get("/p/" + token).status, 200);
    w.now += std::int64_t{30} * 86400;
    expectSameAnswer(w.get("/p/" + token), missing, "expired");
    expectSameAnswer(w.get("/p/" + token + "/photo.jpg"), missing, "expired photo");
}

TEST(GalleryService, ByteRangesOfThePhotoOnlyGetAndHeadAndAPhotoTakenAwayIsGone) {
    GalleryWorld w;
    const std::string token =
        w.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(300, 300, {}));
    const std::string whole = GalleryWorld::bodyOf(w.get("/p/" + token + "/photo.jpg"));
    ASSERT_GT(whole.size(), 1000u);
    GalleryResponse r = w.get("/p/" + token + "/photo.jpg", "bytes=100-199");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(GalleryWorld::bodyOf(r), whole.substr(100, 100));
    EXPECT_EQ(r.header("Content-Range"), "bytes 100-199/" + std::to_string(whole.size()));
    r = w.get("/p/" + token + "/photo.jpg", "bytes=-10");
    EXPECT_EQ(GalleryWorld::bodyOf(r), whole.substr(whole.size() - 10));
    r = w.get("/p/" + token + "/photo.jpg", "bytes=" + std::to_string(whole.size()) + "-");
    EXPECT_EQ(r.status, 416);
    EXPECT_EQ(r.header("Content-Range"), "bytes */" + std::to_string(whole.size()));
    EXPECT_EQ(GalleryWorld::bodyOf(r), "");
    r = w.get("/p/" + token + "/photo.jpg", "bytes=0-1,5-6");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(GalleryWorld::bodyOf(r), whole);
    // Only GET and HEAD.
    for (const char* m : {"POST", "PUT", "DELETE", "OPTIONS", "PATCH", "TRACE", "CONNECT", "get"}) {
        r = w.get("/p/" + token, "", m);
        EXPECT_EQ(r.status, 405) << m;
        EXPECT_EQ(r.header("Allow"), "GET, HEAD");
    }
    EXPECT_EQ(w.get("/p/" + token, "", "HEAD").status, 200);
    // A photo taken away is gone.
    ::unlink((w.upload + "/2024-05-01/a_001122334455_comp_001.jpg").c_str());
    EXPECT_EQ(w.get("/p/" + token + "/photo.jpg").status, 404);
    EXPECT_EQ(w.get("/p/" + token).status, 404);
    EXPECT_FALSE(test::readFile(w.dir.file("cache/copies/" + token + ".jpg")).size());
}

TEST(GalleryService, AVideoGuestGetsTheMovieWithRangesAndTheStill) {
    GalleryWorld w;
    const std::string day = w.upload + "/2024-05-01/";
    std::string movie(100000, '\0');
    for (size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<char>(i * 7);
    test::placeFile(day + "20240501120000_Booth_muxed.mov", movie);
    const std::string token =
        w.addPhoto("20240501120000_Booth.jpg", test::taggedPhoto(640, 480, {"v@example.com"}));
    const GalleryResponse page = w.get("/p/" + token);
    ASSERT_EQ(page.status, 200);
    const std::string html = GalleryWorld::bodyOf(page);
    EXPECT_NE(html.find("<video controls playsinline"), std::string::npos);
    EXPECT_NE(html.find("src=\"/p/" + token + "/movie\""), std::string::npos);
    EXPECT_NE(html.find("/p/" + token + "/photo.jpg"), std::string::npos);
    EXPECT_NE(html.find("Download the video"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);

    GalleryResponse r = w.get("/p/" + token + "/movie");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "video/quicktime");
    EXPECT_EQ(r.filePath, day + "20240501120000_Booth_muxed.mov");
    EXPECT_EQ(r.length, movie.size());
    EXPECT_EQ(r.header("Accept-Ranges"), "bytes");
    r = w.get("/p/" + token + "/movie", "bytes=50000-");
    EXPECT_EQ(r.status, 206);
    EXPECT_EQ(r.offset, 50000u);
    EXPECT_EQ(r.length, 50000u);
    EXPECT_EQ(r.header("Content-Range"), "bytes 50000-99999/100000");
    r = w.get("/p/" + token + "/movie-download");
    EXPECT_NE(r.header("Content-Disposition").find("20240501120000_Booth_muxed.mov"),
              std::string::npos);
    // The still without the address.
    const std::string still = GalleryWorld::bodyOf(w.get("/p/" + token + "/photo.jpg"));
    EXPECT_EQ(still.find("v@example.com"), std::string::npos);
}

TEST(GalleryService, ThumbnailsAreMadeOnceKeptAndNeverInThePhotoFolders) {
    GalleryWorld w;
    const std::string token =
        w.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(2000, 2000, {"t@example.com"}));
    const auto before = test::listTree(w.upload);
    const GalleryResponse r = w.get("/p/" + token + "/thumb.jpg");
    ASSERT_EQ(r.status, 200);
    const std::string body = GalleryWorld::bodyOf(r);
    auto info = readJpegInfo(Data(body.begin(), body.end()));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 480);
    EXPECT_EQ(body.find("Exif"), std::string::npos);
    EXPECT_EQ(body.find("t@example.com"), std::string::npos);
    const size_t made = w.cache->madeCount();
    EXPECT_EQ(GalleryWorld::bodyOf(w.get("/p/" + token + "/thumb.jpg")), body);
    EXPECT_EQ(w.cache->madeCount(), made);
    EXPECT_EQ(test::readFile(w.dir.file("cache/thumbs/" + token + ".jpg")), body);
    // A new cache (the gallery started again) reads the kept one.
    GalleryCache again(w.dir.file("cache"));
    auto item = w.index->find(token, w.now);
    ASSERT_TRUE(item);
    ASSERT_TRUE(again.thumbnail(*item));
    EXPECT_EQ(again.madeCount(), 0u);
    w.get("/p/" + token);
    w.get("/p/" + token + "/photo.jpg");
    EXPECT_EQ(test::listTree(w.upload), before);
}

TEST(GalleryService, ThePublicGalleryListsThumbnailsAndServesTheWall) {
    GalleryWorld w(true);
    const std::string a = w.addPhoto("a_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    const std::string b = w.addPhoto("b_001122334455_comp_001.jpg", test::taggedPhoto(64, 64, {}));
    const std::string list = GalleryWorld::bodyOf(w.get("/gallery"));
    EXPECT_NE(list.find("/p/" + a + "/thumb.jpg"), std::string::npos);
    EXPECT_NE(list.find("/p/" + b + "\""), std::string::npos);
    EXPECT_EQ(list.find("<script"), std::string::npos);
    const GalleryResponse wall = w.get("/wall");
    EXPECT_EQ(wall.status, 200);
    EXPECT_NE(GalleryWorld::bodyOf(wall).find("<script src=\"/wall.js\">"), std::string::npos);
    EXPECT_NE(wall.header("Content-Security-Policy").find("script-src 'self'"), std::string::npos);
    EXPECT_EQ(w.get("/wall.js").contentType, "text/javascript; charset=utf-8");
    EXPECT_TRUE(w.get("/wall/events").eventStream);
}

TEST(GalleryService, TheIndexLooksAtTheWholeUploadTree) {
    GalleryWorld w;
    test::placeFile(w.upload + "/Images/2024-04-30/x_001122334455_comp_001.jpg",
                    test::bytesOf(test::taggedPhoto(64, 64, {})));
    test::placeFile(w.upload + "/2024-05-01/y_001122334455_comp_001.JPG",
                    test::bytesOf(test::taggedPhoto(64, 64, {})));
    test::writeFile(w.upload + "/2024-05-01/.klik-1-2.part", "partial");
    test::writeFile(w.upload + "/2024-05-01/notes.txt", "text");
    test::placeFile(w.upload + "/.hidden/z_001122334455_comp_001.jpg",
                    test::bytesOf(test::taggedPhoto(64, 64, {})));
    EXPECT_EQ(w.index->scan(w.upload), 2u);
    EXPECT_TRUE(w.index->find(shareToken(w.secret, "2024-04-30/x_001122334455_comp_001.jpg"),
                              w.now - 1000000000));
}

}  // namespace
}  // namespace klik
