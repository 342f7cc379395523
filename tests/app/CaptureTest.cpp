// The shot, the recording and its length, the capture file name and the
// photographer's take and keep.

#include <regex>

#include "ControllerFixture.h"

namespace klik::test {
namespace {

class CaptureTest : public ControllerFixture {
  protected:
    // Video input on screen 4, nothing pending.
    void videoOnScreen4() {
        useVideo();
        controller->startOver();
        controller->nextScreenWithLegalese();
        loop.runPending();
        controller->nextScreen();
        ASSERT_EQ(screen(), 4u);
    }
};

TEST_F(CaptureTest, ACameraShotFlashesPlaysTheSoundAndQueuesTheCommand) {
    // No flash picture: the shot is still taken.
    controller->startOver();
    controller->takePicture();
    EXPECT_EQ(camera.shots, 1);
    EXPECT_EQ(controller->_overlayContentView.image(), nullptr);

    artwork.names = {"live_flash", "live1"};
    controller->startOver();
    PicturePtr before = controller->_overlayContentView.image();
    ASSERT_NE(before, nullptr);
    controller->takePicture();
    EXPECT_EQ(camera.shots, 2);
    EXPECT_EQ(ui.count("playSound Grab"), 2u);
    EXPECT_DOUBLE_EQ(controller->_progress.doubleValue(), 5.0);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live_flash");
    loop.advance(0.49);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live_flash");
    loop.advance(0.01);
    EXPECT_EQ(controller->_overlayContentView.image(), before);

    // The flash puts back its picture even after a screen change brought
    // new artwork.
    artwork.names = {"live_flash", "live6", "live7"};
    reachScreen3();
    for (int i = 0; i < 3; ++i) controller->nextScreen();
    ASSERT_EQ(screen(), 6u);
    ASSERT_EQ(camera.shots, 3);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live_flash");
    loop.advance(0.2);
    controller->nextScreen();
    ASSERT_EQ(screen(), 7u);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live7");
    // Half a second after the shot the picture shown before it comes back,
    // whatever the flow showed meanwhile.
    loop.advance(0.29);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live7");
    loop.advance(0.01);
    EXPECT_EQ(controller->_overlayContentView.image()->name(), "live6");
}

TEST_F(CaptureTest, Screen5RecordsIntoTheScratchFolderAndStartsThePromptMovieAtALaterTurn) {
    auto& movie = watch(kUpdateAnimationMovieNotification);
    videoOnScreen4();
    controller->nextScreen();
    ASSERT_EQ(screen(), 5u);
    EXPECT_TRUE(movie.empty());
    loop.runPending();
    EXPECT_EQ(movie.size(), 1u);
    // The recording goes under a date name.
    ASSERT_EQ(recorder.paths.size(), 1u);
    const std::string prefix = dir.file("scratch") + "/";
    ASSERT_EQ(recorder.paths[0].rfind(prefix, 0), 0u) << recorder.paths[0];
    EXPECT_TRUE(
        std::regex_match(recorder.paths[0].substr(prefix.size()), std::regex("[0-9]{14}\\.mov")))
        << recorder.paths[0];
    EXPECT_EQ(controller->currentRecordingPath(), recorder.paths[0]);
    EXPECT_EQ(recorder.clockSetups, 1);
    EXPECT_EQ(camera.shots, 0);
}

TEST_F(CaptureTest, TheRecordingEndsWhenItsLengthIsUp) {
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 12.5);
    videoOnScreen4();
    controller->nextScreen();
    const double started = loop.elapsed();
    ASSERT_TRUE(recorder.recording);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 12.0);  // whole seconds on the screen
    EXPECT_EQ(screen(), 6u);
    EXPECT_TRUE(recorder.recording);
    loop.advance(0.5);
    EXPECT_FALSE(recorder.recording);
    ASSERT_EQ(recorder.stopTimes.size(), 1u);
    EXPECT_DOUBLE_EQ(recorder.stopTimes[0] - started, 12.5);
    EXPECT_EQ(recorder.sessionStops, 0);  // the preview keeps running
    // The recording's end ends the turn: the review, then screen 1.
    EXPECT_EQ(screen(), 7u);
    EXPECT_EQ(recorder.clockTearDowns, 1);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 1.0);
    EXPECT_EQ(screen(), 1u);
}

// A video guest's whole turn on the virtual clock, from the scan to the next
// guest's screen 1: each screen is left as the sequence intends, the session
// is closed once, and the finished recording stays the first guest's though
// the next guest is at the screen when it is composed.
TEST_F(CaptureTest, AVideoTurnEndsWithItsRecordingAndKeepsItsGuest) {
    auto& ended = watch(kNotifictionPhotoSessionEnded);
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 6);
    useVideo();
    controller->startOver();
    ASSERT_EQ(screen(), 1u);
    controller->_barcodeEntryField1.setStringValue("GUEST-001");
    controller->ibBarcodeSendOnEnterAction(&controller->_barcodeEntryField1);
    ASSERT_EQ(screen(), 2u);
    std::vector<std::uint32_t> seen{2};
    std::vector<double> at{loop.elapsed()};
    while (screen() != 1 && loop.elapsed() < 100) {
        runToNextScreen(100);
        seen.push_back(screen());
        at.push_back(loop.elapsed());
    }
    ASSERT_EQ(seen, (std::vector<std::uint32_t>{2, 3, 4, 5, 6, 7, 1}));
    ASSERT_EQ(recorder.paths.size(), 1u);
    ASSERT_EQ(recorder.stopTimes.size(), 1u);
    // Screen 7 follows the recording's end, not before it (within the
    // second screen 6 waits when the end came first).
    EXPECT_GE(at[5], recorder.stopTimes[0]);
    EXPECT_LE(at[5], recorder.stopTimes[0] + 1.0);
    EXPECT_DOUBLE_EQ(recorder.stopTimes[0] - recorder.startTimes[0], 6.0);
    EXPECT_EQ(recorder.clockTearDowns, 1);
    loop.advance(3);
    EXPECT_EQ(ended.size(), 1u);

    // The next guest scans while the first guest's recording is composed.
    controller->_barcodeEntryField1.setStringValue("GUEST-002");
    controller->ibBarcodeSendOnEnterAction(&controller->_barcodeEntryField1);
    EXPECT_EQ(controller->barcodeValue(), "GUEST-002");
    EXPECT_EQ(controller->recordingSession(recorder.paths[0]).barcodeValue, "GUEST-001");
    const PhotoSession still = controller->recordingPhotoSession(recorder.paths[0]);
    EXPECT_EQ(still.barcodeValue, "GUEST-001");
    EXPECT_EQ(still.screenNumber, controller->screenNumber());
    // A file the kiosk did not record belongs to the guest at the screen.
    EXPECT_EQ(controller->recordingSession(dir.file("other.mov")).barcodeValue, "GUEST-002");
}

TEST_F(CaptureTest, AVideoTurnWithoutARecordingReachesTheReviewAndSchedulesNoEnd) {
    videoOnScreen4();
    recorder.failNextStart = true;
    controller->nextScreen();
    ASSERT_EQ(screen(), 5u);
    EXPECT_TRUE(controller->currentRecordingPath().empty());
    runToNextScreen();
    ASSERT_EQ(screen(), 6u);
    // Nothing to wait for: the review a second later, then screen 1.
    EXPECT_DOUBLE_EQ(runToNextScreen(), 1.0);
    EXPECT_EQ(screen(), 7u);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 1.0);
    EXPECT_EQ(screen(), 1u);
    // No end was scheduled for the recording that did not start.
    loop.advance(30);
    EXPECT_TRUE(recorder.stopTimes.empty());
}

TEST_F(CaptureTest, AnAbandonedRecordingsEndDoesNotEndTheNextTurn) {
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 30);
    videoOnScreen4();
    controller->nextScreen();  // recording at t0, its end due at t0+30
    ASSERT_TRUE(recorder.recording);
    controller->startOverFromKeyBoard();
    // The next guest reaches screen 6 while the old end is still due, and
    // their recording does not start.
    controller->nextScreenWithLegalese();
    loop.runPending();
    controller->nextScreen();
    ASSERT_EQ(screen(), 4u);
    recorder.failNextStart = true;
    controller->nextScreen();
    controller->nextScreen();
    ASSERT_EQ(screen(), 6u);
    loop.advance(0.5);
    EXPECT_EQ(screen(), 6u);
    loop.advance(0.5);
    EXPECT_EQ(screen(), 7u);
    loop.advance(1);
    EXPECT_EQ(screen(), 1u);
    loop.advance(40);  // the abandoned end moves nothing
    EXPECT_EQ(screen(), 1u);
}

// The reader's clamps are SettingsReadersTest's; here the clamped length
// is the one both the countdown and the recording's end use.
TEST_F(CaptureTest, TheClampedRecordingLengthIsTheCountdownAndTheRecording) {
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 200);  // -> 120
    videoOnScreen4();
    controller->nextScreen();
    ASSERT_EQ(screen(), 5u);
    EXPECT_EQ(controller->countdownValue(), 120u);
    EXPECT_DOUBLE_EQ(runToNextScreen(), 120);
    loop.advance(0);
    ASSERT_EQ(recorder.stopTimes.size(), 1u);
    EXPECT_DOUBLE_EQ(recorder.stopTimes[0] - recorder.startTimes[0], 120);
}

TEST_F(CaptureTest, TheWarningSecondShowsFieldOneDuringARecording) {
    settings.setInteger(key::prefEndOfRecordingWarningInSeconds, 0);  // -> 10
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 0);      // -> 15
    videoOnScreen4();
    controller->nextScreen();
    ASSERT_EQ(screen(), 5u);
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());
    loop.advance(4);
    EXPECT_EQ(controller->_countdownOverlay.stringValue(), "11");
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());
    loop.advance(1);
    EXPECT_EQ(controller->_liveCountdownField1.stringValue(), "10");
    EXPECT_FALSE(controller->_liveCountdownField1.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField2.isHidden());
}

TEST_F(CaptureTest, ANewRecordingReplacesTheEndOfTheOldOne) {
    settings.setDouble(key::prefMaxRecordingLengthInSeconds, 10);
    videoOnScreen4();
    controller->nextScreen();  // recording 1 at t0
    loop.advance(4);
    controller->takePicture();  // recording 2 at t0+4
    loop.advance(6.5);          // recording 1's end would have been at t0+10
    EXPECT_TRUE(recorder.stopTimes.empty());
    loop.advance(4);
    EXPECT_EQ(recorder.stopTimes.size(), 1u);
}

TEST_F(CaptureTest, Screen7OnVideoInputTearsDownTheClock) {
    auto& ended = watch(kNotifictionPhotoSessionEnded);
    videoOnScreen4();
    controller->nextScreen();
    controller->nextScreen();
    controller->nextScreen();
    ASSERT_EQ(screen(), 7u);
    EXPECT_EQ(recorder.clockTearDowns, 1);
    EXPECT_TRUE(controller->_overlayContentView.isHidden());
    EXPECT_TRUE(controller->_countdownOverlay.isHidden());
    EXPECT_TRUE(controller->_liveCountdownField1.isHidden());
    EXPECT_DOUBLE_EQ(runToNextScreen(), 1.0);
    EXPECT_EQ(screen(), 1u);
    loop.advance(2);
    EXPECT_EQ(ended.size(), 1u);
}

TEST_F(CaptureTest, StopCaptureEndsRecordingAndSession) {
    videoOnScreen4();
    controller->nextScreen();
    controller->stopCapture();
    EXPECT_FALSE(recorder.recording);
    EXPECT_FALSE(recorder.sessionRunning);
    loop.advance(200);
    EXPECT_EQ(recorder.stopTimes.size(), 1u);
}

TEST_F(CaptureTest, TheVideoPreviewIsUsedOnlyWithARecorder) {
    controller->setInputType(2);
    EXPECT_FALSE(controller->isVideoInput());
    controller->setVideoRecorder(&recorder);
    controller->setInputType(2);
    EXPECT_TRUE(controller->isVideoInput());
    EXPECT_EQ(settings.stringForKey(key::KLIK_CameraInputType), "kQTCaptureType");
    EXPECT_EQ(controller->_QTCView.superview(), &controller->_liveView);
    EXPECT_EQ(controller->_EVFView.superview(), nullptr);
    settings.setString(key::KLIK_CameraInputType, "untouched");
    controller->setInputType(2);  // no change the second time
    EXPECT_EQ(settings.stringForKey(key::KLIK_CameraInputType), "untouched");
    controller->setInputType(1);
    EXPECT_FALSE(controller->isVideoInput());
    EXPECT_EQ(settings.stringForKey(key::KLIK_CameraInputType), "kDSLR_CameraType");
}

TEST_F(CaptureTest, TheFileBaseNameCarriesSittingAndStationOnlyInWebModeAndNamesNoOtherFolder) {
    settings.setString(key::prefKioskStationName, "booth3");
    web.info = Dictionary{{"sittingid", "S42"}};
    EXPECT_EQ(controller->formDateString("20261207120000"), "20261207120000");
    settings.setBool(key::prefDoUseWebView, true);
    EXPECT_EQ(controller->formDateString("20261207120000"), "20261207120000-S42_booth3");
    web.info = Dictionary{{"sittingid", 77}};
    EXPECT_EQ(controller->formDateString("d"), "d-77_booth3");
    web.info.reset();
    EXPECT_EQ(controller->formDateString("d"), "d_booth3");
    settings.setString(key::prefKioskStationName, "");
    EXPECT_EQ(controller->formDateString("d"), "d");
    // Never a name of another folder.
    settings.setString(key::prefKioskStationName, "a/b");
    web.info = Dictionary{{"sittingid", "../../etc/x\n"}};
    const std::string name = controller->formDateString("d");
    EXPECT_EQ(name.find('/'), std::string::npos) << name;
    EXPECT_EQ(name.find('\n'), std::string::npos) << name;
    EXPECT_EQ(name, "d-.._.._etc_x__a_b");
}

TEST_F(CaptureTest, ThePhotographersKeysTakeOnlyWithACameraAndKeepPrintsOnlyWhenSet) {
    camera.connected = false;
    controller->takePhotoFromKeyBoard();
    EXPECT_EQ(ui.count("beep"), 2u);
    EXPECT_EQ(camera.shots, 0);
    camera.connected = true;
    controller->takePhotoFromKeyBoard();
    EXPECT_EQ(camera.shots, 1);
    EXPECT_EQ(ui.count("beep"), 2u);
    // Keep prints only with automatic printing.
    controller->keepPhotoFromKeyBoard();
    EXPECT_EQ(photos.kept, 1);
    EXPECT_EQ(photos.printed, 0);
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    controller->keepPhotoFromKeyBoard();
    EXPECT_EQ(photos.kept, 2);
    EXPECT_EQ(photos.printed, 1);
}

TEST_F(CaptureTest, TheBlackPictureIs100By100OpaqueBlack) {
    PicturePtr p = AppController::blackImage();
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->width(), 100);
    EXPECT_EQ(p->height(), 100);
    ASSERT_EQ(p->rgba().size(), 100u * 100u * 4u);
    for (size_t i = 0; i < p->rgba().size(); i += 4) {
        ASSERT_EQ(p->rgba()[i], 0);
        ASSERT_EQ(p->rgba()[i + 3], 255);
    }
    PicturePtr red = AppController::imageWithSolidColor(Colour{1, 0, 0, 0.5});
    EXPECT_EQ(red->rgba()[0], 255);
    EXPECT_EQ(red->rgba()[3], 128);
    EXPECT_EQ(Picture::solid(Colour::black(), 0, 10), nullptr);
}

}  // namespace
}  // namespace klik::test
