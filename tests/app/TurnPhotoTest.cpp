// Each guest gets their own photo and hears the truth about it: the shot
// carries the guest's data, a late photo goes to its own guest unseen by
// the next one, the review shows a photo only once it is filed and
// apologises (naming the cause) otherwise, and no countdown starts without
// a camera.

#include <condition_variable>
#include <mutex>
#include <thread>

#include "ControllerFixture.h"

namespace klik::test {
namespace {

// The camera library's codes for "object not ready" and "device busy".
constexpr std::uint32_t kObjectNotReady = 0xA102;
constexpr std::uint32_t kDeviceBusy = 0x81;

// ---- The ledger of shot requests -------------------------------------------------

GuestSession guest(std::uint64_t turn, const std::string& code) {
    GuestSession s;
    s.turn = turn;
    s.barcodeValue = code;
    return s;
}

TEST(ShotLedgerTest, PicturesAnswerTheOldestShotFailuresLoseTheRightOneAndOldOnesExpire) {
    ShotLedger l;
    const auto a = l.ask(guest(1, "A"), 0);
    const auto b = l.ask(guest(2, "B"), 1);
    const auto c = l.ask(guest(3, "C"), 2);
    EXPECT_NE(a, 0u);
    EXPECT_EQ(l.waiting(), 3u);
    // A refused shot command is the newest; a picture answers the oldest.
    EXPECT_EQ(l.loseNewest()->id, c);
    auto answered = l.answer();
    ASSERT_TRUE(answered);
    EXPECT_EQ(answered->id, a);
    EXPECT_EQ(answered->session.barcodeValue, "A");
    EXPECT_TRUE(l.isWaiting(b));
    EXPECT_FALSE(l.isWaiting(a));
    // A failed download loses the oldest; then nothing waits.
    EXPECT_EQ(l.loseOldest()->id, b);
    EXPECT_FALSE(l.answer());
    EXPECT_FALSE(l.loseNewest());
    EXPECT_TRUE(l.loseAll().empty());

    // Old requests expire; the limit gives up the oldest.
    l.ask(guest(1, "A"), 0);
    l.ask(guest(2, "B"), 50);
    auto expired = l.expire(70, 60);
    ASSERT_EQ(expired.size(), 1u);
    EXPECT_EQ(expired[0].session.barcodeValue, "A");
    EXPECT_EQ(l.waiting(), 1u);
    EXPECT_EQ(l.loseAll().size(), 1u);

    std::optional<ShotRequest> dropped;
    for (size_t i = 0; i < ShotLedger::kMaxWaiting; ++i) {
        l.ask(guest(i, "G" + std::to_string(i)), 0, &dropped);
        EXPECT_FALSE(dropped);
    }
    l.ask(guest(99, "late"), 1, &dropped);
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->session.barcodeValue, "G0");
    EXPECT_EQ(l.waiting(), ShotLedger::kMaxWaiting);
    EXPECT_EQ(guest(4, "").label(), "turn 4");
}

// ---- The controller --------------------------------------------------------------

class TurnPhotoTest : public ControllerFixture {
  protected:
    static CameraError cameraError(std::uint32_t code, const std::string& text) {
        return CameraError{code, text, "{code = " + std::to_string(code) + "}"};
    }
    // What the floating panel showed, newest last.
    std::vector<std::string> panels() const {
        std::vector<std::string> out;
        for (const auto& c : ui.calls)
            if (c.rfind("panel ", 0) == 0 && c != "panel fade") out.push_back(c.substr(6));
        return out;
    }
    // Lets virtual time run until the turn's shot is decided, by news from
    // the camera or by the bound; false if no timer is left to decide it.
    bool waitForTheShotOutcome() {
        while (controller->turnShot().outcome == AppController::ShotOutcome::Waiting)
            if (!loop.advanceToNextTimer()) return false;
        return true;
    }
    bool apologised() const {
        for (const auto& p : panels())
            if (p.rfind("SORRY - NO PHOTO!", 0) == 0) return true;
        return false;
    }
};

TEST_F(TurnPhotoTest, ReviewShowsThePhotoOnceItIsFiledForThisGuestWaitingWithinTheBound) {
    controller->startOver();
    scan("GUEST-001");
    runTo(6);
    EXPECT_EQ(camera.shots, 1);
    EXPECT_EQ(controller->turnShot().outcome, AppController::ShotOutcome::Waiting);
    deliverPhoto("IMG_0001.JPG");
    EXPECT_EQ(controller->turnShot().outcome, AppController::ShotOutcome::Kept);
    EXPECT_EQ(controller->photoSession().barcodeValue, "GUEST-001");
    runTo(7);
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_0001.JPG");
    EXPECT_FALSE(apologised());
    // The review lasts its usual time.
    EXPECT_NEAR(runToNextScreen(), 3, 1e-6);
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->lastReview().guest, "GUEST-001");

    // The review waits within the bound for a photo still on its way.
    scan("GUEST-002");
    runTo(7);
    // Five seconds after the shot nothing has come: no photo, no promise,
    // no timer moving the guest on.
    EXPECT_TRUE(controller->_EVFView.isHidden());
    EXPECT_FALSE(controller->screenTimer() && controller->screenTimer()->isValid());
    loop.advance(3);
    EXPECT_EQ(screen(), 7u);
    deliverPhoto("IMG_0002.JPG");
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_FALSE(apologised());
    EXPECT_NEAR(runToNextScreen(), 3, 1e-6);
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->lastReview().guest, "GUEST-002");
}

TEST_F(TurnPhotoTest, EveryWayAPhotoFailsEndsInAnApologyNamingTheCause) {
    struct Case {
        const char* name;
        std::function<void()> fault;
        const char* cause;
    };
    const std::vector<Case> cases = {
        {"download failed",
         [this] {
             camera.listener->cameraDownloadFailed("IMG_0001.JPG",
                                                   cameraError(kObjectNotReady, "object notready"));
         },
         "camera error 0xA102, object notready downloading IMG_0001.JPG"},
        {"shot refused",
         [this] {
             camera.listener->cameraCommandFailed(std::nullopt, true,
                                                  cameraError(kDeviceBusy, "device busy"),
                                                  "{commandNumber = 0}");
         },
         "the camera refused the shot (device busy)"},
        {"camera gone",
         [this] {
             camera.connected = false;
             camera.listener->cameraUnloaded(std::nullopt);
         },
         "was disconnected"},
        {"not stored",
         [this] {
             photos.keepResult = false;
             deliverPhoto("IMG_0001.JPG");
         },
         "the photo IMG_0001.JPG could not be stored"},
        // Last: its request stays waiting for a photo that may still come,
        // and the next shot's news would be taken as its own.
        {"no photo within the bound", [] {}, "within 12 seconds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        camera.connected = true;
        photos.keepResult = true;
        ui.clear();
        controller->startOver();
        scan("GUEST-007");
        runTo(6);
        c.fault();
        loop.runPending();
        runTo(7);
        // Without news from the camera the bound decides.
        ASSERT_TRUE(waitForTheShotOutcome());
        ASSERT_EQ(screen(), 7u);
        // The apology, and no picture that could be a stranger's.
        ASSERT_TRUE(apologised());
        EXPECT_NE(panels().back().find(c.cause), std::string::npos) << panels().back();
        EXPECT_TRUE(controller->_EVFView.isHidden());
        EXPECT_FALSE(controller->lastReview().photoShown);
        EXPECT_EQ(controller->lastReview().guest, "GUEST-007");
        EXPECT_EQ(controller->lastReview().message, panels().back());
        runTo(1);
    }
}

TEST_F(TurnPhotoTest, AtTheBoundAPhotoThatCameButIsStillBeingFiledIsNotBlamedOnTheCamera) {
    // Filing a camera-size photo on a busy machine can outlast the bound:
    // the apology names the slow filing, not a camera that did deliver, and
    // the photo is still filed under its guest.
    std::mutex m;
    std::condition_variable cv;
    bool keeping = false, release = false;
    photos.duringKeep = [&] {
        std::unique_lock l(m);
        keeping = true;
        cv.notify_all();
        cv.wait(l, [&] { return release; });
    };
    controller->startOver();
    scan("GUEST-008");
    runTo(6);
    std::thread cameraThread([&] { camera.deliverPhoto(jpegLike(), "IMG_0008.JPG"); });
    ASSERT_TRUE(loop.runUntil(
        [&] {
            std::lock_guard l(m);
            return keeping;
        },
        std::chrono::seconds(20)));
    runTo(7);
    ASSERT_TRUE(waitForTheShotOutcome());
    ASSERT_TRUE(apologised());
    EXPECT_NE(panels().back().find("the photo came but was not filed within 12 seconds"),
              std::string::npos)
        << panels().back();
    EXPECT_EQ(panels().back().find("no photo came from the camera"), std::string::npos);
    {
        std::lock_guard l(m);
        release = true;
    }
    cv.notify_all();
    // The camera's thread hands the result to the loop and ends.
    ASSERT_TRUE(loop.runUntil(
        [&] {
            std::lock_guard l(photos.mutex);
            return photos.kept == 1;
        },
        std::chrono::seconds(20)));
    loop.runAlongside([&] { cameraThread.join(); });
    EXPECT_EQ(controller->photoSession().barcodeValue, "GUEST-008");
    EXPECT_FALSE(controller->lastReview().photoShown);
    runTo(1);

    // A shot whose photo never came still blames the camera.
    photos.duringKeep = nullptr;
    ui.clear();
    scan("GUEST-009");
    runTo(7);
    ASSERT_TRUE(waitForTheShotOutcome());
    ASSERT_TRUE(apologised());
    EXPECT_NE(panels().back().find("no photo came from the camera within 12 seconds"),
              std::string::npos)
        << panels().back();
}

TEST_F(TurnPhotoTest, ALatePhotoGoesToItsOwnGuestAndAnUnaskedOneToTheGuestAtTheScreen) {
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    controller->startOver();
    controller->setEmails({"one@example.com"});
    scan("GUEST-001");
    runTo(7);
    runTo(1);  // guest 1 was told no photo came
    EXPECT_FALSE(controller->lastReview().photoShown);
    // Nothing of guest 1 carries over to guest 2.
    EXPECT_TRUE(controller->emails().empty());
    scan("GUEST-002");
    runTo(4);
    ASSERT_TRUE(camera.liveViewRunning);
    const PicturePtr shownBefore = controller->_EVFView.image();
    const int liveViewOffs = camera.liveViewOffs;

    deliverPhoto("IMG_0001.JPG");  // guest 1's photo, 15 seconds late
    EXPECT_EQ(photos.kept, 1);
    const GuestSession owner = controller->photoSession();
    EXPECT_EQ(owner.barcodeValue, "GUEST-001");
    EXPECT_EQ(owner.emails, std::vector<std::string>{"one@example.com"});
    // The photo is filed under that guest, with the screen shown now.
    const PhotoSession filed = controller->photoFilingSession();
    EXPECT_EQ(filed.barcodeValue, "GUEST-001");
    EXPECT_EQ(filed.emails, std::vector<std::string>{"one@example.com"});
    EXPECT_EQ(filed.screenNumber, 4u);
    // Guest 2's turn goes on untouched: same screen, live view on, no
    // stranger's picture, no stranger's print.
    EXPECT_EQ(screen(), 4u);
    EXPECT_TRUE(camera.liveViewRunning);
    EXPECT_EQ(camera.liveViewOffs, liveViewOffs);
    EXPECT_EQ(controller->_EVFView.image(), shownBefore);
    EXPECT_EQ(photos.printed, 0);

    runTo(6);
    deliverPhoto("IMG_0002.JPG");
    EXPECT_EQ(controller->photoSession().barcodeValue, "GUEST-002");
    EXPECT_TRUE(controller->photoSession().emails.empty());
    EXPECT_EQ(photos.printed, 1);
    runTo(7);
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_0002.JPG");
    runTo(1);
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->lastReview().guest, "GUEST-002");

    // A photo no shot asked for belongs to the guest at the screen.
    scan("GUEST-003");
    runTo(4);
    deliverPhoto("IMG_0009.JPG");  // the camera's own shutter button
    EXPECT_EQ(controller->photoSession().barcodeValue, "GUEST-003");
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_0009.JPG");
}

TEST_F(TurnPhotoTest, NoCountdownOrShotWithoutACamera) {
    // A camera lost during the countdown: no shot, an apology.
    controller->startOver();
    scan("GUEST-008");
    runTo(4);
    camera.connected = false;
    runTo(7);
    EXPECT_EQ(controller->turnShot().outcome, AppController::ShotOutcome::Failed);
    ASSERT_TRUE(apologised());
    EXPECT_NE(panels().back().find("no camera is connected"), std::string::npos);
    const int shots = camera.shots, liveViewOns = camera.liveViewOns;
    runTo(1);

    controller->startOver();
    ui.clear();
    // The barcode and the go button are refused on screen 1.
    scan("GUEST-004");
    EXPECT_EQ(screen(), 1u);
    EXPECT_EQ(controller->barcodeValue(), "");
    controller->nextScreenWithLegalese();
    EXPECT_EQ(screen(), 1u);
    ASSERT_FALSE(panels().empty());
    EXPECT_EQ(panels().back(), "NO Camera Found!!!\nPlease Check Your Connection!");
    loop.advance(30);
    EXPECT_EQ(screen(), 1u);
    // Without the legal text the kiosk waits on screen 1 instead of looping.
    settings.setBool(key::prefShowLegalese, false);
    controller->startOver();
    loop.advance(30);
    EXPECT_EQ(screen(), 1u);
    // A turn that got past screen 1 stops before its countdown.
    settings.setBool(key::prefShowLegalese, true);
    controller->startOver();
    camera.connected = true;
    scan("GUEST-005");
    EXPECT_EQ(screen(), 2u);
    camera.connected = false;
    runToNextScreen();
    EXPECT_EQ(screen(), 1u);
    for (std::uint32_t n : ui.screens) EXPECT_NE(n, 3u);
    EXPECT_EQ(camera.liveViewOns, liveViewOns);
    EXPECT_EQ(camera.shots, shots);
    // Video input needs no still camera.
    useVideo();
    controller->startOver();
    scan("GUEST-006");
    EXPECT_EQ(screen(), 2u);
}

}  // namespace
}  // namespace klik::test
