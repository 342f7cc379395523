#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "RecordingKioskUi.h"
#include "TestImages.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "imaging/ImageCodec.h"
#include "photo/DistributedNotificationCenter.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

namespace klik {
namespace {

class KioskPipelineTest : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        settings.setString("mainImagesFolder", dir.file("Images"));
        settings.setString("forUploadFolder", dir.file("Up"));
        settings.setString("scratchFolder", dir.file("Scratch"));
        initFolderGlobalsAtLaunch(settings);
        ASSERT_TRUE(parseIso8601("2011-03-05T14:30:15", when));
        DistributedNotificationCenter::resetConnection();
    }
    void TearDown() override {
        setFixedRoot("");
        DistributedNotificationCenter::resetConnection();
    }

    test::TempDir dir;
    // The filing announcement goes nowhere rather than onto the developer's
    // own session bus; the bus itself is covered by the D-Bus tests.
    test::ScopedEnv noBus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + dir.file("no-bus")};
    Settings settings{dir.file("settings.plist")};
    test::RecordingKioskUi ui;
    ManualRunLoop loop;
    Date when;
    int prefsOpened = 0;
    KioskPhotoPipeline pipeline{ui,
                                loop,
                                settings,
                                [] {
                                    PhotoSession s;
                                    s.barcodeValue = "guest";
                                    return s;
                                },
                                [this] { ++prefsOpened; },
                                [] { return std::optional<std::string>("00:11:22:33:44:55"); },
                                [this] { return when; }};
};

TEST_F(KioskPipelineTest, NoPhotoIsNotKept) {
    EXPECT_FALSE(pipeline.postProcessNewPhoto());
}

TEST_F(KioskPipelineTest, InvalidFoldersAlertOnTheUiAndOpenPrefsHalfASecondLater) {
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(640, 480, {}))},
                           {"GLIMRA_CameraPhotoFilename", Value("IMG_1.JPG")}});
    // Left in scratch: not kept as far as the guest is concerned.
    EXPECT_FALSE(pipeline.postProcessNewPhoto());
    EXPECT_TRUE(pipeline.lastResult().tagged);
    EXPECT_FALSE(pipeline.lastResult().filed);
    EXPECT_NE(std::find(ui.calls.begin(), ui.calls.end(),
                        "alert WARNING! - UNABLE To FIND/Mount all the Needed Folders!!!!"),
              ui.calls.end());
    loop.runPending();
    loop.advance(0.4);
    EXPECT_EQ(prefsOpened, 0);
    loop.advance(0.2);
    EXPECT_EQ(prefsOpened, 1);
}

TEST_F(KioskPipelineTest, ValidFoldersFileThePhoto) {
    ::mkdir(dir.file("Images").c_str(), 0755);
    ::mkdir(dir.file("Up").c_str(), 0755);
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(640, 480, {}))},
                           {"GLIMRA_CameraPhotoFilename", Value("IMG_1.JPG")}});
    EXPECT_TRUE(pipeline.postProcessNewPhoto());
    const FilingResult r = pipeline.lastResult();
    EXPECT_EQ(r.filedPath, dir.file("Images/2011-03-05/guest_001122334455_001.jpg"));
    EXPECT_TRUE(r.uploadWritten);
    // The current photo is now its square: printing uses what was filed.
    const Dictionary current = pipeline.imageDict();
    const Value* data = find(current, "GLIMRA_CameraPhotoData");
    ASSERT_TRUE(data && data->data());
    auto info = readJpegInfo(*data->data());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 480);
    EXPECT_EQ(info->height, 480);
}

TEST_F(KioskPipelineTest, ScratchWriteFailureTellsTheOperatorAndRetriesFromMemory) {
    ::mkdir(dir.file("Images").c_str(), 0755);
    ::mkdir(dir.file("Up").c_str(), 0755);
    ASSERT_EQ(::rmdir(dir.file("Scratch").c_str()), 0);  // the scratch disk went away
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(640, 480, {}))},
                           {"GLIMRA_CameraPhotoFilename", Value("IMG_1.JPG")}});
    EXPECT_FALSE(pipeline.postProcessNewPhoto());
    EXPECT_TRUE(pipeline.lastResult().keptInMemory);
    loop.runPending();
    auto panel = std::find_if(ui.calls.begin(), ui.calls.end(), [](const std::string& c) {
        return c.rfind("panel The photo could not be written to the scratch folder", 0) == 0;
    });
    ASSERT_NE(panel, ui.calls.end());
    EXPECT_NE(panel->find("No such file or directory"), std::string::npos) << *panel;

    // Still gone at the first retry; back for the second, which writes it.
    loop.advance(KioskPhotoPipeline::kScratchRetrySeconds + 1);
    EXPECT_FALSE(test::readFile(dir.file("Scratch/guest.jpg")).size());
    ASSERT_EQ(::mkdir(dir.file("Scratch").c_str(), 0755), 0);
    loop.advance(KioskPhotoPipeline::kScratchRetrySeconds + 1);
    EXPECT_GT(test::readFile(dir.file("Scratch/guest.jpg")).size(), 0u);

    // The next photo files the waiting one first, then itself.
    EXPECT_TRUE(pipeline.postProcessNewPhoto());
    struct stat st {};
    EXPECT_EQ(::stat(dir.file("Images/2011-03-05/guest_001122334455_001.jpg").c_str(), &st), 0);
    EXPECT_EQ(::stat(dir.file("Images/2011-03-05/guest_001122334455_002.jpg").c_str(), &st), 0);
}

}  // namespace
}  // namespace klik
