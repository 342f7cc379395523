#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "RecordingKioskUi.h"
#include "TestImages.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
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
    }
    void TearDown() override { setFixedRoot(""); }

    test::TempDir dir;
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
    EXPECT_TRUE(pipeline.postProcessNewPhoto());  // tagged, left in scratch
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
}

}  // namespace
}  // namespace klik
