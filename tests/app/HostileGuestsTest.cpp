// Scripted guests against the simulated camera with the faults of the
// fault plists in resources/sim-faults, through the real photo module: what
// each guest finds in the folders and on the screen, and what the operator
// is told. The screen flow runs on a virtual clock; a fault's delay is held
// by the test instead of slept, so a 15-second delay costs no real time.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "SimCameraControllerFixture.h"
#include "app/SettingsKeys.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
#include "soak/HeldDelays.h"
#include "support/TestMounts.h"

namespace klik::test {
namespace {

namespace fs = std::filesystem;

// A full scratch disk is a small tmpfs in a mount namespace of this
// process's own, made before any thread starts.
const std::string gMountNamespace = usePrivateMountNamespace();

std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

class HostileGuestsTest : public SimCameraControllerFixture {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        for (const char* f : {"tmp", "Images", "Up"})
            ASSERT_EQ(::mkdir(dir.file(f).c_str(), 0755), 0);
        settings.setString("mainImagesFolder", dir.file("Images"));
        settings.setString("forUploadFolder", dir.file("Up"));
        settings.setString("scratchFolder", dir.file("Scratch"));
        settings.setBool("prefUseShortPathForWeb", true);
        settings.setBool(key::prefShowLegalese, true);
        settings.setBool(key::prefDoCountdownInSngleMonitorMode, true);
        settings.setInteger(key::liveScreenCountValue, 3);
        settings.setInteger(key::prefDelayScreen2, 3);
        settings.setInteger(key::prefConfettiDelay, 2);
        settings.setInteger(key::prefCameraInputTypeTag, 1);
        ASSERT_TRUE(parseIso8601("2011-03-05T14:30:15", when));
    }
    void TearDown() override {
        holds.release();
        SimCameraControllerFixture::TearDown();
        pipeline.reset();
        setFixedRoot("");
    }

    // The kiosk on the simulated camera configured by the fault plist
    // `name` (none: no faults), waiting on screen 1.
    void start(const std::string& name) {
        SimConfig c;
        std::string error;
        if (!name.empty()) {
            ASSERT_TRUE(SimConfig::fromFile(
                std::string(KLIK_SOURCE_DIR) + "/resources/sim-faults/" + name, c, error))
                << error;
        }
        // Small pictures keep the test quick; the faults are the file's.
        const SimConfig small = smallSimConfig();
        c.pictureWidth = small.pictureWidth;
        c.pictureHeight = small.pictureHeight;
        c.liveViewWidth = small.liveViewWidth;
        c.liveViewHeight = small.liveViewHeight;
        c.captureDelay = 0;
        c.downloadChunkSize = std::min<std::uint64_t>(c.downloadChunkSize, 4096);
        startWith(std::move(c), [this] {
            sim->setDelayHandler(holds.handler());
            initFolderGlobalsAtLaunch(settings);
            pipeline = std::make_unique<KioskPhotoPipeline>(
                ui, loop, settings, [this] { return controller->photoFilingSession(); }, [] {},
                [] { return std::optional<std::string>("00:11:22:33:44:55"); },
                [this] { return when; });
            controller->setPhotoPipeline(pipeline.get());
        });
        controller->startOver();
        ASSERT_EQ(controller->screenNumber(), 1u);
    }
    std::uint32_t screen() const { return controller->screenNumber(); }
    void scan(const std::string& code) {
        ASSERT_EQ(screen(), 1u);
        controller->_barcodeEntryField1.setStringValue(code);
        controller->ibBarcodeSendOnEnterAction(&controller->_barcodeEntryField1);
    }
    // Moves the flow on its virtual clock to screen `target`. On the capture
    // screen the camera first gets the (real) time it needs to deliver the
    // shot, fail, or be held by a delay.
    void runTo(std::uint32_t target) {
        for (int steps = 0; screen() != target; ++steps) {
            ASSERT_LT(steps, 500) << "stuck on screen " << screen();
            if (screen() == 6 && settledTurn != controller->turnNumber()) {
                settledTurn = controller->turnNumber();
                ASSERT_TRUE(pumpUntil([&] {
                    return controller->turnShot().outcome != AppController::ShotOutcome::Waiting ||
                           holds.held() > 0;
                }));
            }
            ASSERT_TRUE(loop.advanceToNextTimer());
        }
    }
    // One whole turn from screen 1 back to screen 1.
    void playGuest(const std::string& code) {
        scan(code);
        ASSERT_NE(screen(), 1u) << code << " was turned away";
        runTo(7);
        runTo(1);
    }
    std::string today() const { return dir.file("Images/2011-03-05"); }
    std::string apologyFor(const std::string& guest) const {
        const auto& r = controller->lastReview();
        return r.guest == guest && !r.photoShown ? r.message : "";
    }
    bool panelShown(const std::string& text) const {
        return std::count(ui.calls.begin(), ui.calls.end(), "panel " + text) > 0;
    }

    soak::HeldDelays holds{true};
    Date when;
    std::unique_ptr<KioskPhotoPipeline> pipeline;
    std::uint64_t settledTurn = 0;

    void failedShotThenAGoodOne(const std::string& plist, const std::string& cause);
};

TEST_F(HostileGuestsTest, ALateDownloadIsFiledUnderItsOwnGuestNeverTheNext) {
    start("late-download.plist");
    scan("GUEST-001");
    runTo(7);
    // The download is held by its 15-second delay: guest 1 hears the truth.
    ASSERT_EQ(holds.held(), 1u);
    EXPECT_EQ(holds.calls()[0], (std::pair<std::string, double>{"CamDownload", 15}));
    runTo(1);
    const std::string apology = apologyFor("GUEST-001");
    EXPECT_NE(apology.find("no photo came from the camera within 12 seconds"), std::string::npos)
        << apology;

    // Guest 2 is on the live countdown when guest 1's picture comes in.
    scan("GUEST-002");
    runTo(4);
    holds.release();
    // The photo chain runs on a thread of its own: wait for the upload copy too.
    ASSERT_TRUE(pumpUntil([&] {
        return namesIn(today()).size() == 1 &&
               namesIn(dir.file("Up/2011-03-05")) ==
                   std::vector<std::string>{"GUEST-001_001122334455_comp_001.jpg"} &&
               sim->eventsIdle();
    }));
    EXPECT_EQ(namesIn(today()), std::vector<std::string>{"GUEST-001_001122334455_001.jpg"});
    EXPECT_EQ(namesIn(dir.file("Up/2011-03-05")),
              std::vector<std::string>{"GUEST-001_001122334455_comp_001.jpg"});
    EXPECT_EQ(screen(), 4u);
    // Guest 2 never sees it: the camera view keeps guest 2's own preview.
    ASSERT_TRUE(controller->_EVFView.image());
    EXPECT_NE(controller->_EVFView.image()->name(), "IMG_0001.JPG");

    runTo(7);
    EXPECT_FALSE(controller->_EVFView.isHidden());
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_0002.JPG");
    runTo(1);
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(controller->lastReview().guest, "GUEST-002");
    EXPECT_EQ(namesIn(today()), (std::vector<std::string>{"GUEST-001_001122334455_001.jpg",
                                                          "GUEST-002_001122334455_001.jpg"}));
    // Each file holds its own guest's picture: the camera numbered them.
    EXPECT_TRUE(namesIn(dir.file("Scratch")).empty());
}

// The plist's one fault hits guest 1, who is told `cause`; guest 2 is
// served as usual.
void HostileGuestsTest::failedShotThenAGoodOne(const std::string& plist, const std::string& cause) {
    start(plist);
    playGuest("GUEST-001");
    const std::string apology = apologyFor("GUEST-001");
    EXPECT_NE(apology.find(cause), std::string::npos) << apology;
    EXPECT_TRUE(panelShown(apology));
    EXPECT_TRUE(namesIn(today()).empty());
    playGuest("GUEST-002");
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(namesIn(today()), std::vector<std::string>{"GUEST-002_001122334455_001.jpg"});
}

TEST_F(HostileGuestsTest, AFailedDownloadIsAnApologyAndTheNextGuestGetsTheirPhoto) {
    failedShotThenAGoodOne("download-error.plist",
                           "camera error 0xA102, object notready downloading IMG_0001.JPG");
}

TEST_F(HostileGuestsTest, AFailedDownloadCompletionIsAnApologyToo) {
    failedShotThenAGoodOne("download-complete-error.plist",
                           "camera error 0xA102, object notready downloading IMG_0001.JPG");
}

TEST_F(HostileGuestsTest, ARefusedShotIsAnApology) {
    failedShotThenAGoodOne("shutter-refused.plist", "refused the shot (device busy)");
}

TEST_F(HostileGuestsTest, ACameraVanishingMidDownloadTurnsTheNextGuestAwayBeforeACountdown) {
    start("vanish-mid-download.plist");
    playGuest("GUEST-001");
    const std::string apology = apologyFor("GUEST-001");
    EXPECT_NE(apology.find("0xC1"), std::string::npos) << apology;
    // The camera is unloaded in the background: wait until the registry has let it go.
    ASSERT_TRUE(
        pumpUntil([&] { return GLIMRA_Camera::loadedCamera() == nullptr && !port.hasCamera(); }));
    EXPECT_TRUE(namesIn(today()).empty());

    ui.clear();
    scan("GUEST-002");
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(panelShown("NO Camera Found!!!\nPlease Check Your Connection!"));
    loop.advance(60);
    EXPECT_EQ(screen(), 1u);
    EXPECT_TRUE(ui.screens.empty());  // no countdown, no black preview
}

TEST_F(HostileGuestsTest, AFullScratchDiskIsAnApologyAndThePhotoIsFiledUnderItsGuestLater) {
    TmpfsMount scratch{dir.file("Scratch"), 256 << 10, "klik-scratch"};
    KLIK_SKIP_UNLESS_MOUNTED(scratch);
    ASSERT_GT(scratch.fillUp(), 0u);
    start("");
    playGuest("GUEST-001");
    const std::string apology = apologyFor("GUEST-001");
    EXPECT_NE(apology.find("the photo IMG_0001.JPG could not be stored"), std::string::npos)
        << apology;
    EXPECT_TRUE(namesIn(today()).empty());
    // The operator hears why from the filing.
    EXPECT_TRUE(std::any_of(ui.calls.begin(), ui.calls.end(), [](const std::string& c) {
        return c.rfind("panel ", 0) == 0 && c.find("No space left on device") != std::string::npos;
    }));
    // Room again: guest 1's photo, kept in memory, is filed under guest 1.
    ASSERT_EQ(::unlink(dir.file("Scratch/.filler").c_str()), 0);
    playGuest("GUEST-002");
    EXPECT_TRUE(controller->lastReview().photoShown);
    EXPECT_EQ(namesIn(today()), (std::vector<std::string>{"GUEST-001_001122334455_001.jpg",
                                                          "GUEST-002_001122334455_001.jpg"}));
}

TEST_F(HostileGuestsTest, AScratchFolderThatCannotBeWrittenIsAnApology) {
    // A file where the scratch folder should be: nothing can be written
    // there, as on a full disk.
    test::writeFile(dir.file("Scratch"), "not a folder");
    start("");
    playGuest("GUEST-001");
    const std::string apology = apologyFor("GUEST-001");
    EXPECT_NE(apology.find("could not be stored"), std::string::npos) << apology;
    EXPECT_TRUE(namesIn(today()).empty());
}

}  // namespace
}  // namespace klik::test
