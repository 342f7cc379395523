// The guest's QR code on the review screen: shown on screen 7 for the
// guest's own filed photo when it has a gallery link, with the Wi-Fi code
// when the booth has a network; never for a photo that was not filed, a
// photo without a link or a late photo of an earlier guest; gone as soon as
// the screen changes.

#include "ControllerFixture.h"

namespace klik::test {
namespace {

const std::string kLink = "http://192.168.4.1:8080/p/Az09-_AAAAAAAAAAAAAAAA";

class ShareCodeTest : public ControllerFixture {
  protected:
    ShareCodeTest() { photos.link = kLink; }
    const ShareCodeView& code() const { return controller->_shareCodeView; }
};

TEST_F(ShareCodeTest,
       TheGuestsFiledPhotoGetsItsCodeOnTheReviewWhenItComesUntilTakenAgainOrScreenOne) {
    controller->startOver();
    scan("GUEST-001");
    runTo(6);
    deliverPhoto("IMG_0001.JPG");
    EXPECT_TRUE(code().isHidden()) << "not before the review";
    runTo(7);
    ASSERT_FALSE(code().isHidden());
    EXPECT_EQ(code().link(), kLink);
    EXPECT_EQ(code().wifiCode(), "");
    EXPECT_STREQ(code().caption(), "Scan to get your photo");
    // Taking the photo again hides the old code.
    controller->takePhotoAgainFromKeyBoard();
    EXPECT_EQ(screen(), 6u);
    EXPECT_TRUE(code().isHidden());
    deliverPhoto("IMG_0002.JPG");
    runTo(7);
    ASSERT_FALSE(code().isHidden());
    runToNextScreen();
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(code().isHidden());
    EXPECT_EQ(code().link(), "");

    // A photo that comes during the review gets its code then, with the
    // booth's network.
    settings.setString(key::prefShareWifiName, "Klik Booth");
    settings.setString(key::prefShareWifiPassword, "pass;word");
    scan("GUEST-002");
    runTo(7);
    EXPECT_TRUE(code().isHidden());
    deliverPhoto("IMG_0003.JPG");
    ASSERT_FALSE(code().isHidden());
    EXPECT_EQ(code().wifiCode(), "WIFI:T:WPA;S:Klik Booth;P:pass\\;word;;");
}

TEST_F(ShareCodeTest, NoCodeForAPhotoNotFiledWithoutALinkOrOfAnEarlierGuest) {
    photos.keepResult = false;
    controller->startOver();
    scan("GUEST-001");
    runTo(6);
    deliverPhoto("IMG_0001.JPG");
    runTo(7);
    EXPECT_TRUE(code().isHidden());
    runTo(1);

    photos.keepResult = true;
    photos.link = "";  // no gallery address, or no upload copy
    scan("GUEST-002");
    runTo(6);
    deliverPhoto("IMG_0002.JPG");
    runTo(7);
    EXPECT_FALSE(controller->_EVFView.isHidden()) << "the photo itself is shown";
    EXPECT_TRUE(code().isHidden());
    runTo(1);

    // A late photo of an earlier guest shows no code.
    photos.link = kLink;
    scan("GUEST-003");
    runTo(7);
    // GUEST-003's photo never came in time: the review apologised.
    while (controller->turnShot().outcome == AppController::ShotOutcome::Waiting)
        ASSERT_TRUE(loop.advanceToNextTimer());
    runTo(1);
    scan("GUEST-004");
    runTo(3);
    // Now the third guest's photo arrives, and then the fourth's shot.
    deliverPhoto("IMG_0003.JPG");
    EXPECT_TRUE(code().isHidden());
    runTo(7);
    EXPECT_TRUE(code().isHidden()) << "the code would give GUEST-004 a stranger's photo";
}

}  // namespace
}  // namespace klik::test
