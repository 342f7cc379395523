// The seven screens: entry actions, who moves the flow on, and the
// variants chosen by the settings.

#include "ControllerFixture.h"

namespace klik::test {
namespace {

class ScreenSequenceTest : public ControllerFixture {
  protected:
    // From screen 1 to 7 by hand, with nothing pending from screen 2.
    void reachScreen7() {
        reachScreen3();
        for (int i = 0; i < 3; ++i) controller->nextScreen();
        ASSERT_EQ(screen(), 6u);
        deliverPhoto();
        controller->nextScreen();
        ASSERT_EQ(screen(), 7u);
    }
};

TEST_F(ScreenSequenceTest, StartOverPutsTheKioskOnScreen1AndWaitsForTheGuest) {
    controller->_barcodeEntryField1.setStringValue("stale");
    controller->setBarcodeValue("stale");
    controller->_goButton.setHidden(true);
    controller->_keyboard.setHidden(false);
    controller->_badEmail.setHidden(false);
    controller->startOver();
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(controller->_barcodeEntryField1.stringValue(), "");
    EXPECT_EQ(controller->barcodeValue(), "");
    EXPECT_FALSE(controller->_goButton.isHidden());
    EXPECT_TRUE(controller->_keyboard.isHidden());
    EXPECT_TRUE(controller->_badEmail.isHidden());
    EXPECT_TRUE(controller->_overlayContentView.isHidden());
    EXPECT_TRUE(controller->currentInputView().isHidden());
    EXPECT_EQ(ui.count("makeFirstResponder touch barcodeEntryField1"), 1u);
    EXPECT_EQ(web.startWebViews, 1);
    EXPECT_EQ(controller->screenTimer(), nullptr);
    // Screen updates are held once and released again.
    EXPECT_EQ(ui.depth, 0);
    EXPECT_EQ(ui.maxDepth, 1);
    loop.advance(500);
    EXPECT_EQ(screen(), 1u);
}

TEST_F(ScreenSequenceTest, LegaleseOffRunsScreen2InsideScreen1WithNestedUpdateHolds) {
    settings.setBool(key::prefShowLegalese, false);
    controller->_takePhotoButton.setHidden(false);
    controller->_keepPhotoButton.setHidden(false);
    controller->startOver();
    EXPECT_EQ(screen(), 2u);
    EXPECT_EQ(ui.screens, (std::vector<std::uint32_t>{1, 2}));
    // The screen-update holds nest and are all released.
    EXPECT_EQ(ui.depth, 0);
    EXPECT_EQ(ui.maxDepth, 2);
    // Screen 1's remaining actions ran after screen 2's.
    EXPECT_EQ(camera.liveViewOffs, 1);
    EXPECT_TRUE(controller->_takePhotoButton.isHidden());
    EXPECT_TRUE(controller->_startOverButton.isHidden());
    EXPECT_TRUE(controller->_keepPhotoButton.isHidden());
    EXPECT_TRUE(controller->_takePhotoAgainButton.isHidden());
    auto last = std::find(ui.calls.rbegin(), ui.calls.rend(), "orderFront touch");
    auto screen2 = std::find(ui.calls.rbegin(), ui.calls.rend(), "screen 2");
    EXPECT_LT(last - ui.calls.rbegin(), screen2 - ui.calls.rbegin());
    EXPECT_EQ(web.startWebViews, 1);
    // Without its picture screen 2 moves on at the next turn.
    loop.runPending();
    EXPECT_EQ(screen(), 3u);
    EXPECT_DOUBLE_EQ(loop.elapsed(), 0.0);
    loop.advance(60);
    EXPECT_EQ(ui.depth, 0);
}

TEST_F(ScreenSequenceTest, Screen2StaysItsDelayOnlyWhenItHasAPictureEvenAcrossAStartOver) {
    controller->startOver();
    artwork.names = {"touch2"};
    controller->nextScreenWithLegalese();
    ASSERT_EQ(screen(), 2u);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 3.0);
    EXPECT_EQ(screen(), 3u);

    // The advance asked for on screen 2 still fires at its time after a
    // start over.
    controller->startOver();
    controller->nextScreenWithLegalese();
    ASSERT_EQ(screen(), 2u);
    loop.advance(1);
    controller->startOver();
    ASSERT_EQ(screen(), 1u);
    loop.advance(1.999);
    EXPECT_EQ(screen(), 1u);
    loop.advance(0.001);
    EXPECT_EQ(screen(), 2u);

    artwork.names.clear();
    controller->startOver();
    controller->nextScreen();
    ASSERT_EQ(screen(), 2u);
    loop.runPending();
    EXPECT_EQ(screen(), 3u);
}

TEST_F(ScreenSequenceTest, ACameraSessionRunsThroughAllSevenScreensOnTime) {
    auto& ended = watch(kNotifictionPhotoSessionEnded);
    controller->startOver();
    controller->nextScreenWithLegalese();
    ASSERT_EQ(overlays.runs.size(), 1u);
    loop.runPending();
    ASSERT_EQ(screen(), 3u);
    EXPECT_EQ(camera.liveViewOns, 1);
    EXPECT_FALSE(controller->_overlayContentView.isHidden());
    ASSERT_NE(controller->_EVFView.image(), nullptr);
    EXPECT_EQ(controller->_EVFView.image()->solidColour(), Colour::black());
    EXPECT_EQ(controller->_liveCountdownField1.stringValue(), "5");
    EXPECT_FALSE(controller->_liveCountdownField1.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField2.isHidden());
    // Single-monitor mode: one second of touch countdown whatever is set.
    EXPECT_DOUBLE_EQ(runToNextScreen(), 1.0);
    ASSERT_EQ(screen(), 4u);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 5.0);
    ASSERT_EQ(screen(), 5u);
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());
    EXPECT_DOUBLE_EQ(runToNextScreen(), 2.0);
    ASSERT_EQ(screen(), 6u);
    // Live view goes off before the shot, and nothing else reached the camera.
    EXPECT_EQ(camera.events, (std::vector<std::string>{"live view on", "live view off", "shot"}));
    EXPECT_EQ(ui.count("playSound Grab"), 1u);
    deliverPhoto();
    EXPECT_DOUBLE_EQ(runToNextScreen(), 5.0);
    ASSERT_EQ(screen(), 7u);
    // The review shows the photo the guest's shot brought.
    EXPECT_FALSE(controller->currentInputView().isHidden());
    EXPECT_TRUE(ended.empty());
    EXPECT_DOUBLE_EQ(runToNextScreen(), 3.0);
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(ended.size(), 1u);  // 3 s after screen 7; web mode is off
    EXPECT_TRUE(controller->currentInputView().isHidden());
    loop.advance(100);
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(ended.size(), 1u);
}

TEST_F(ScreenSequenceTest, TheWrapTo1EndsTheSessionAgainInWebMode) {
    auto& ended = watch(kNotifictionPhotoSessionEnded);
    settings.setBool(key::prefDoUseWebView, true);
    reachScreen7();
    loop.advance(3);
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(ended.size(), 2u);
    ASSERT_TRUE(ended[0].sender());
    EXPECT_EQ(ended[0].sender(), controller.get());
}

TEST_F(ScreenSequenceTest, PerScreenArtworkIsShownAndLiveCountdownField1MovesIntoTheOverlayOnce) {
    artwork.names = {"touch1", "live1"};
    controller->_liveCountdownField1.setTextColor(Colour::black());
    EXPECT_FALSE(controller->_overlayContentView.isAncestorOf(controller->_liveCountdownField1));
    controller->startOver();
    ASSERT_NE(controller->_touchView.image(), nullptr);
    EXPECT_EQ(controller->_touchView.image()->name(), "touch1");
    EXPECT_EQ(controller->_liveView.image()->name(), "live1");
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live1");
    EXPECT_EQ(controller->_liveCountdownField1.superview(), &controller->_overlayContentView);
    EXPECT_EQ(controller->_liveCountdownField1.textColor(), Colour::white());
    // Missing artwork on screen 2 leaves the views; the field is not moved again.
    controller->_liveCountdownField1.setTextColor(Colour::black());
    controller->nextScreenWithLegalese();
    EXPECT_EQ(controller->_touchView.image()->name(), "touch1");
    EXPECT_EQ(controller->_liveView.image()->name(), "live1");
    EXPECT_EQ(controller->_liveCountdownField1.textColor(), Colour::black());
}

TEST_F(ScreenSequenceTest, Screen5GoesBackTo4WithoutTheLiveCountdown) {
    settings.setBool(key::prefDoCountdownInSngleMonitorMode, false);
    controller->startOver();
    controller->nextScreenWithLegalese();
    loop.runPending();
    runToNextScreen();
    ASSERT_EQ(screen(), 4u);
    runToNextScreen();
    EXPECT_EQ(screen(), 4u);
    EXPECT_EQ(ui.screens.back(), 4u);
    EXPECT_EQ(ui.screens[ui.screens.size() - 2], 5u);
    // Nothing runs: the kiosk waits on 4.
    ASSERT_NE(controller->screenTimer(), nullptr);
    EXPECT_FALSE(controller->screenTimer()->isValid());
    loop.advance(300);
    EXPECT_EQ(screen(), 4u);
    controller->nextScreen();
    EXPECT_EQ(screen(), 4u);
    EXPECT_EQ(camera.shots, 0);
}

TEST_F(ScreenSequenceTest, TakeAgainLeavesScreen1ReentersItFrom2AndShootsAgainOn7) {
    controller->startOver();
    controller->_overlayContentView.setHidden(false);
    controller->currentInputView().setHidden(false);
    controller->takePhotoAgainFromKeyBoard();
    EXPECT_EQ(screen(), 0u);
    EXPECT_TRUE(controller->_overlayContentView.isHidden());
    EXPECT_TRUE(controller->currentInputView().isHidden());
    controller->nextScreen();
    EXPECT_EQ(screen(), 1u);

    controller->nextScreenWithLegalese();
    ASSERT_EQ(screen(), 2u);
    web.startWebViews = 0;
    controller->takePhotoAgainFromKeyBoard();
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(web.startWebViews, 1);

    loop.runPending();  // screen 2's own advance
    reachScreen7();
    const int shots = camera.shots;
    controller->takePhotoAgainFromKeyBoard();
    EXPECT_EQ(screen(), 6u);
    EXPECT_EQ(camera.shots, shots + 1);
}

TEST_F(ScreenSequenceTest, PhotographerStartOverOnlyFromScreen3On) {
    controller->startOver();
    controller->nextScreenWithLegalese();
    ASSERT_EQ(screen(), 2u);
    controller->startOverFromKeyBoard();
    EXPECT_EQ(screen(), 2u);
    loop.runPending();
    ASSERT_EQ(screen(), 3u);
    controller->startOverFromKeyBoard();
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(controller->screenTimer(), nullptr);
}

TEST_F(ScreenSequenceTest, PhotographerOperatedButtonsShowOnScreen3Or4AndScreen4Waits) {
    settings.setBool(key::prefAmbassadorOperated, true);
    // Without the live countdown the buttons show on screen 3.
    settings.setBool(key::prefDoCountdownInSngleMonitorMode, false);
    controller->startOver();
    controller->nextScreenWithLegalese();
    loop.runPending();
    ASSERT_EQ(screen(), 3u);
    EXPECT_FALSE(controller->_takePhotoButton.isHidden());
    EXPECT_FALSE(controller->_startOverButton.isHidden());
    EXPECT_TRUE(controller->_takePhotoAgainButton.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());

    settings.setBool(key::prefDoCountdownInSngleMonitorMode, true);
    controller->startOver();
    controller->nextScreenWithLegalese();
    loop.runPending();
    ASSERT_EQ(screen(), 3u);
    // With the live countdown on, screen 3 keeps take and start over hidden.
    EXPECT_TRUE(controller->_takePhotoButton.isHidden());
    EXPECT_TRUE(controller->_keepPhotoButton.isHidden());
    runToNextScreen();
    ASSERT_EQ(screen(), 4u);
    EXPECT_FALSE(controller->_takePhotoButton.isHidden());
    EXPECT_FALSE(controller->_startOverButton.isHidden());
    EXPECT_TRUE(controller->_keepPhotoButton.isHidden());
    EXPECT_TRUE(controller->_takePhotoAgainButton.isHidden());
    loop.advance(300);
    EXPECT_EQ(screen(), 4u);
    controller->takePhotoFromKeyBoard();
    EXPECT_EQ(camera.shots, 1);
    EXPECT_EQ(screen(), 4u);
}

TEST_F(ScreenSequenceTest, LegalTextDecidesWhetherScreen1MovesOnUnlessTheKeyboardShows) {
    controller->startOver();
    overlays.answers[OverlayScreen::Legalese] = 7;
    controller->_keyboard.setHidden(false);
    controller->nextScreenWithLegalese();
    EXPECT_EQ(screen(), 2u);
    EXPECT_TRUE(overlays.runs.empty());

    controller->startOver();
    ASSERT_TRUE(controller->_keyboard.isHidden());
    controller->nextScreenWithLegalese();
    EXPECT_EQ(screen(), 1u);
    // A missing legal-text screen never blocks the flow.
    overlays.answers[OverlayScreen::Legalese] = std::nullopt;
    controller->nextScreenWithLegalese();
    EXPECT_EQ(screen(), 2u);
    EXPECT_EQ(overlays.runs.size(), 2u);
}

TEST_F(ScreenSequenceTest, WaitingForAGuestHoldsScreen1UntilTheGoActionWithoutLegalText) {
    settings.setBool(key::prefShowLegalese, false);
    settings.setBool(key::prefWaitForGuest, true);
    controller->startOver();
    loop.advance(120);
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(camera.shots, 0);
    controller->nextScreenWithLegalese();
    EXPECT_EQ(screen(), 2u);
    EXPECT_TRUE(overlays.runs.empty());
}

TEST_F(ScreenSequenceTest, OtherThreadsMoveTheFlowThroughTheMainLoopWhileTheControllerLives) {
    artwork.names = {"touch2"};
    controller->startOver();
    std::thread t([&] { controller->postNextScreenToMainThread(); });
    t.join();
    EXPECT_EQ(screen(), 1u);
    loop.runPending();
    EXPECT_EQ(screen(), 2u);

    // Work still pending when the controller goes is dropped.
    controller->startOver();
    controller->nextScreenWithLegalese();
    controller->postNextScreenToMainThread();
    controller.reset();
    loop.advance(100);  // would touch a dead controller if anything fired
    EXPECT_EQ(loop.scheduledTimerCount(), 0u);
}

}  // namespace
}  // namespace klik::test
