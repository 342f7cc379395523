// Several shots per guest: the live countdown and the shot repeat, each
// photo is filed as a single one is, the review shows the print picture of
// the kept shots (or apologises when none was kept), only that picture is
// printed, and the turn's loop is made from the last second of each
// countdown, beside that picture.

#include "ControllerFixture.h"
#include "FakeGuestLoop.h"

namespace klik::test {
namespace {

class ShotsPerTurnTest : public ControllerFixture {
  protected:
    ShotsPerTurnTest() {
        settings.setInteger(key::prefShotsPerTurn, 4);
        controller->setGuestLoop(&loops);
    }
    // The camera refuses the shot asked for last.
    void refuseShot() {
        camera.listener->cameraCommandFailed(
            std::nullopt, true, CameraError{0x2019, "device busy", "busy"}, "{commandNumber = 4}");
        loop.runPending();
    }
    // A live-view frame from the camera, on the main thread.
    void frame() { camera.listener->cameraLiveViewFrame(jpegLike(32)); }
    // One shot: the countdown on screen 4 (a frame at its start and one in
    // its last second), the shot on screen 6 and its photo, or the
    // camera's refusal when `photo` is false.
    void shoot(bool photo = true) {
        runTo(4);
        frame();
        while (controller->countdownValue() > 1) ASSERT_TRUE(loop.advanceToNextTimer());
        frame();
        runTo(6);
        if (photo)
            deliverPhoto("IMG_" + std::to_string(camera.shots) + ".JPG");
        else
            refuseShot();
    }
    void startTurn(const std::string& code) {
        controller->startOver();
        scan(code);
    }

    FakeGuestLoop loops;
};

TEST_F(ShotsPerTurnTest, FourShotsAreEachFiledAndTheReviewShowsTheirPrintPicture) {
    settings.setBool(key::prefMakeLoop, true);
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    startTurn("GUEST-4");
    for (int i = 0; i < 4; ++i) {
        shoot();
        EXPECT_EQ(controller->shotIndex(), static_cast<std::uint32_t>(i));
        // The photo shows on the capture screen before the next countdown.
        EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_" + std::to_string(i + 1) + ".JPG");
    }
    EXPECT_EQ(camera.shots, 4);
    EXPECT_EQ(photos.kept, 4);
    // Live view came back for each countdown after the first.
    EXPECT_EQ(camera.liveViewOns, 4);
    runTo(7);
    ASSERT_EQ(photos.composed.size(), 1u);
    EXPECT_EQ(photos.composed[0],
              (std::vector<std::string>{"/filed/photo-1.jpg", "/filed/photo-2.jpg",
                                        "/filed/photo-3.jpg", "/filed/photo-4.jpg"}));
    EXPECT_EQ(controller->_EVFView.image()->name(), "composite");
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_TRUE(controller->lastReview().photoShown);
    // Only the print picture is printed, once.
    EXPECT_EQ(photos.printed, 1);
    // One frame of each countdown's last second; the loop goes beside the
    // print picture.
    ASSERT_EQ(loops.loops.size(), 1u);
    EXPECT_EQ(loops.loops[0], (std::pair<std::string, size_t>{"/filed/composite.jpg", 4}));
    EXPECT_EQ(loops.sizes[0], 480);
    // The next turn starts from its first shot.
    EXPECT_NEAR(runToNextScreen(), 3, 1e-6);
    EXPECT_EQ(screen(), 1u);
    startTurn("GUEST-5");
    runTo(4);
    EXPECT_EQ(controller->shotIndex(), 0u);
    EXPECT_TRUE(controller->shotsOfTurn().size() == 1);
}

TEST_F(ShotsPerTurnTest, AFailedShotIsLeftOutAndTheOthersAreKept) {
    startTurn("GUEST-F");
    shoot();
    shoot();
    shoot(false);  // the camera refuses the third shot
    shoot();
    runTo(7);
    ASSERT_EQ(photos.composed.size(), 1u);
    EXPECT_EQ(photos.composed[0],
              (std::vector<std::string>{"/filed/photo-1.jpg", "/filed/photo-2.jpg",
                                        "/filed/photo-3.jpg"}));
    const auto shots = controller->shotsOfTurn();
    ASSERT_EQ(shots.size(), 4u);
    EXPECT_EQ(shots[2].outcome, AppController::ShotOutcome::Failed);
    EXPECT_EQ(shots[3].outcome, AppController::ShotOutcome::Kept);
    EXPECT_TRUE(controller->lastReview().photoShown);
    // Without the loop setting no loop is made.
    EXPECT_TRUE(loops.loops.empty());
    EXPECT_TRUE(loops.frames.empty());
}

TEST_F(ShotsPerTurnTest, ALatePhotoOfAnEarlierShotIsFiledWithoutTakingOverTheScreen) {
    startTurn("GUEST-L");
    runTo(4);
    runTo(6);  // the first photo is slow
    runTo(4);  // the second countdown, live view running
    EXPECT_TRUE(camera.liveViewRunning);
    deliverPhoto("IMG_LATE.JPG");
    EXPECT_TRUE(camera.liveViewRunning);
    EXPECT_EQ(screen(), 4u);
    EXPECT_EQ(photos.kept, 1);
    EXPECT_EQ(controller->shotsOfTurn()[0].outcome, AppController::ShotOutcome::Kept);
    EXPECT_EQ(controller->shotsOfTurn()[1].outcome, AppController::ShotOutcome::None);
}

TEST_F(ShotsPerTurnTest, NoKeptShotIsAnApologyAndAFailedPrintPictureStillShowsThePhotos) {
    settings.setInteger(key::prefShotsPerTurn, 2);
    settings.setBool(key::prefMakeLoop, true);
    startTurn("GUEST-N");
    shoot(false);
    shoot(false);
    runTo(7);
    EXPECT_FALSE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->lastReview().message.rfind("SORRY - NO PHOTO!", 0), 0u);
    EXPECT_TRUE(photos.composed.empty());
    EXPECT_TRUE(loops.loops.empty());  // nothing to put it beside

    // The frame cannot take the shots: the guest still sees their last
    // photo, and the loop goes beside it; nothing is printed.
    photos.composeSucceeds = false;
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    runTo(1);
    startTurn("GUEST-M");
    shoot();
    shoot();
    runTo(7);
    ASSERT_EQ(photos.composed.size(), 1u);
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_4.JPG");
    EXPECT_EQ(photos.printed, 0);
    ASSERT_EQ(loops.loops.size(), 1u);
    EXPECT_EQ(loops.loops[0].first, "/filed/photo-2.jpg");
}

TEST_F(ShotsPerTurnTest, OneShotTurnsKeepTheirPrintAndTakeAnyShotsSetting) {
    settings.setInteger(key::prefShotsPerTurn, 1);
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    startTurn("GUEST-1");
    shoot();
    runTo(7);
    EXPECT_TRUE(photos.composed.empty());
    EXPECT_EQ(photos.printed, 1);  // the photo itself, as always
    // Settings out of range read as 1 and 4.
    for (auto [set, reads] : {std::pair{-3, 1u}, std::pair{0, 1u}, std::pair{9, 4u}}) {
        settings.setInteger(key::prefShotsPerTurn, set);
        runTo(1);
        startTurn("GUEST-R");
        runTo(4);
        EXPECT_EQ(controller->shotsPerTurn(), reads) << set;
    }
}

TEST_F(ShotsPerTurnTest, ALiveViewEndingByItselfInACountdownIsStartedAgainOncePerCountdown) {
    startTurn("LIVE-1");
    runTo(4);
    int ons = camera.liveViewOns;
    // The camera's live view stops by itself during the countdown: started
    // again; when it stops a second time in the same countdown, left alone.
    camera.endLiveViewByItself();
    loop.runPending();
    EXPECT_EQ(camera.liveViewOns, ons + 1);
    EXPECT_TRUE(camera.liveViewRunning);
    camera.endLiveViewByItself();
    loop.runPending();
    EXPECT_EQ(camera.liveViewOns, ons + 1);
    // The next shot's countdown gets its own second chance.
    runTo(6);
    deliverPhoto("IMG_1.JPG");
    runTo(4);
    ons = camera.liveViewOns;
    camera.endLiveViewByItself();
    loop.runPending();
    EXPECT_EQ(camera.liveViewOns, ons + 1);
    // Outside a countdown (the capture, with live view off) nothing is
    // started.
    runTo(6);
    ons = camera.liveViewOns;
    camera.endLiveViewByItself();
    loop.runPending();
    EXPECT_EQ(camera.liveViewOns, ons);
}

}  // namespace
}  // namespace klik::test
