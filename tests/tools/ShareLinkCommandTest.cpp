#include <gtest/gtest.h>

#include "KlikctlRunner.h"
#include "photo/ShareLink.h"

namespace klik::test {
namespace {

TEST(KlikctlShareLink, PrintsTheLinkOfAFiledPhotoAndOfItsUploadCopy) {
    Klikctl k;
    const std::string images = k.dir().file("Images"), up = k.dir().file("Up");
    writeFile(images + "/2024-05-01/GUEST-001_001122334455_002.jpg", "filed");
    writeFile(up + "/2024-05-01/GUEST-001_001122334455_comp_002.jpg", "copy");
    writeFile(up + "/2024-05-01/20240501120000_Booth.jpg", "video still");
    ASSERT_EQ(k.run("defaults write forUploadFolder " + up).status, 0);

    ToolResult r = k.run("share link " + images + "/2024-05-01/GUEST-001_001122334455_002.jpg");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no gallery address"), std::string::npos) << r.err;

    ASSERT_EQ(k.run("defaults write prefShareGalleryAddress http://192.168.4.1:8080").status, 0);
    r = k.run("share link " + images + "/2024-05-01/GUEST-001_001122334455_002.jpg " + up +
              "/2024-05-01/GUEST-001_001122334455_comp_002.jpg " + up +
              "/2024-05-01/20240501120000_Booth.jpg");
    ASSERT_EQ(r.status, 0) << r.err;
    // The secret was made beside the settings file.
    auto secret = ShareSecret::load(ShareSecret::pathBesideSettings(k.settingsPath()));
    ASSERT_TRUE(secret);
    const std::string photo = "http://192.168.4.1:8080/p/" +
                              shareToken(*secret, "2024-05-01/GUEST-001_001122334455_comp_002.jpg");
    const std::string still =
        "http://192.168.4.1:8080/p/" + shareToken(*secret, "2024-05-01/20240501120000_Booth.jpg");
    EXPECT_EQ(r.out, photo + "\n" + photo + "\n" + still + "\n");

    r = k.run("share link " + k.dir().file("missing.jpg"));
    EXPECT_EQ(r.status, 1);
    r = k.run("share");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("link"), std::string::npos) << r.err;
    r = k.run("share help link");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("usage: klikctl share link FILE"), std::string::npos);
}

}  // namespace
}  // namespace klik::test
