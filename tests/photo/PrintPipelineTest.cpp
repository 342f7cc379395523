// The kiosk pipeline's print prompt: the guest's addresses reach the print
// flow, the photo comes from the last camera delivery, the no-photo notice
// goes to the floating panel and fades.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "FakePrintPort.h"
#include "RecordingKioskUi.h"
#include "TestImages.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "photo/KioskPhotoPipeline.h"
#include "support/TempDir.h"

namespace klik {
namespace {

class PrintPipelineTest : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        settings.setInteger("prefKeyForShowPrintDialogModeIndex", 3);
    }
    void TearDown() override { setFixedRoot(""); }
    bool uiSaw(const std::string& line) const {
        return std::find(ui.calls.begin(), ui.calls.end(), line) != ui.calls.end();
    }

    test::TempDir dir;
    Settings settings{dir.file("settings.plist")};
    test::RecordingKioskUi ui;
    ManualRunLoop loop;
    test::FakePrintPort port;
    std::vector<std::string> emails{"a@x.y", "b@x.y", "c@x.y"};
    KioskPhotoPipeline pipeline{ui, loop, settings,
                                [this] {
                                    PhotoSession s;
                                    s.emails = emails;
                                    return s;
                                },
                                [] {}};
};

TEST_F(PrintPipelineTest, WithoutAPortNothingIsPrinted) {
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(64, 48, {}))}});
    pipeline.printCurrentPictureWithPrompt();
    EXPECT_FALSE(pipeline.printCurrentPictureForOperator());
    EXPECT_EQ(pipeline.printFlow(), nullptr);
}

TEST_F(PrintPipelineTest, PromptUsesTheGuestsAddressesAndTheLastPhoto) {
    pipeline.attachPrintPort(port);
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(64, 48, {}))}});
    pipeline.printCurrentPictureWithPrompt();
    ASSERT_EQ(port.jobs.size(), 1u);
    EXPECT_EQ(port.sheetShownWith.back(), 3);
    EXPECT_EQ(port.jobs[0].setup.copies, 3);
    EXPECT_TRUE(port.jobs[0].dialog);
    EXPECT_TRUE(pipeline.printCurrentPictureForOperator());
    EXPECT_TRUE(port.jobs.back().dialog);
}

TEST_F(PrintPipelineTest, NoPhotoShowsTheNoticeAndFadesIt) {
    pipeline.attachPrintPort(port);
    pipeline.printCurrentPictureWithPrompt();
    EXPECT_TRUE(port.jobs.empty());
    EXPECT_TRUE(uiSaw("panel No image to print!\n\nTake a picture before printing!"));
    EXPECT_FALSE(uiSaw("panel fade"));
    loop.advance(5);
    EXPECT_TRUE(uiSaw("panel fade"));
}

}  // namespace
}  // namespace klik
