#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>

#include "FakePrintPort.h"
#include "RecordingKioskUi.h"
#include "TestImages.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/PropertyList.h"
#include "imaging/ImageCodec.h"
#include "photo/DistributedNotificationCenter.h"
#include "photo/GLIMRA_XMLinEXIF.h"
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
        session.barcodeValue = "guest";
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
    PhotoSession session;
    KioskPhotoPipeline pipeline{ui,
                                loop,
                                settings,
                                [this] { return session; },
                                [this] { ++prefsOpened; },
                                [] { return std::optional<std::string>("00:11:22:33:44:55"); },
                                [this] { return when; }};
};

TEST_F(KioskPipelineTest, NoPhotoIsNotKeptInvalidFoldersAlertOnTheUiAndOpenPrefsLater) {
    EXPECT_FALSE(pipeline.postProcessNewPhoto());
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

TEST_F(KioskPipelineTest, TheShotsRawIsKeptBesideThePhotoAsItCameUnlessTheOperatorSaysNo) {
    ::mkdir(dir.file("Images").c_str(), 0755);
    ::mkdir(dir.file("Up").c_str(), 0755);
    const Data raw = {'I', 'I', '*', 0, 1, 2, 3, 4, 5};
    pipeline.setImageDict({{kPhotoDataKey, Value(test::makeBarJpeg(640, 480, {}))},
                           {kPhotoFilenameKey, Value("IMG_1.JPG")},
                           {kPhotoRawDataKey, Value(raw)},
                           {kPhotoRawFilenameKey, Value("IMG_1.CR2")}});
    EXPECT_TRUE(pipeline.postProcessNewPhoto());
    const std::string today = dir.file("Images/2011-03-05/");
    EXPECT_EQ(pipeline.lastResult().filedPath, today + "guest_001122334455_001.jpg");
    EXPECT_TRUE(pipeline.lastResult().uploadWritten);
    // Same unique name, its own extension, its bytes untouched; no upload
    // copy of it.
    const std::string kept = today + "guest_001122334455_001.cr2";
    EXPECT_EQ(test::readFile(kept), std::string(raw.begin(), raw.end()));
    std::vector<std::string> uploads;
    for (const auto& e : std::filesystem::recursive_directory_iterator(dir.file("Up")))
        if (e.is_regular_file()) uploads.push_back(e.path().filename().string());
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].substr(uploads[0].size() - 4), ".jpg");
    // The photo kept as the current one is the JPEG's square: printing uses
    // what was filed.
    const Dictionary current = pipeline.imageDict();
    const Value* data = find(current, kPhotoDataKey);
    ASSERT_TRUE(data && data->data());
    const auto info = readJpegInfo(*data->data());
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 480);
    EXPECT_EQ(info->height, 480);

    // The operator keeps no RAW files: the photo alone is filed.
    settings.setBool(kKeepRawFilesSettingKey, false);
    pipeline.setImageDict({{kPhotoDataKey, Value(test::makeBarJpeg(640, 480, {}))},
                           {kPhotoFilenameKey, Value("IMG_2.JPG")},
                           {kPhotoRawDataKey, Value(raw)},
                           {kPhotoRawFilenameKey, Value("IMG_2.CR2")}});
    EXPECT_TRUE(pipeline.postProcessNewPhoto());
    EXPECT_EQ(pipeline.lastResult().filedPath, today + "guest_001122334455_002.jpg");
    EXPECT_FALSE(std::filesystem::exists(today + "guest_001122334455_002.cr2"));
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

// ---- The print picture of several shots ------------------------------------------

namespace shots {

// A grey frame, opaque but for `windows` (x, y, w, h) left see-through.
void writeFrame(const std::string& path, const std::vector<std::array<int, 4>>& windows) {
    Bitmap frame = Bitmap::rgba(400, 300, 128, 128, 128, 255);
    for (const auto& [x0, y0, w, h] : windows)
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) frame.pixel(x, y)[3] = 0;
    const auto png = encodePngFromRGBA(frame);
    ASSERT_TRUE(png);
    ASSERT_TRUE(writeFileAtomically(std::string(png->begin(), png->end()), path).empty());
}

bool near(const std::uint8_t* p, int r, int g, int b) {
    return std::abs(p[0] - r) < 16 && std::abs(p[1] - g) < 16 && std::abs(p[2] - b) < 16;
}

}  // namespace shots

TEST_F(KioskPipelineTest, TheShotsOfATurnFillTheFramesWindowsAndAreFiledAsOneMorePhoto) {
    ::mkdir(dir.file("Images").c_str(), 0755);
    ::mkdir(dir.file("Up").c_str(), 0755);
    // The print frame has one window; the frame drawn for four shots, beside
    // it, has four.
    shots::writeFrame(dir.file("frame.png"), {{25, 25, 150, 100}, {225, 25, 150, 100}});
    shots::writeFrame(
        dir.file("frame4.png"),
        {{25, 25, 150, 100}, {225, 25, 150, 100}, {25, 175, 150, 100}, {225, 175, 150, 100}});
    const int colours[4][3] = {{230, 20, 20}, {20, 200, 20}, {20, 20, 230}, {230, 230, 20}};
    std::vector<std::string> paths;
    for (int i = 0; i < 4; ++i) {
        const auto jpeg = encodeJpegFromRGBA(
            Bitmap::rgba(120, 120, colours[i][0], colours[i][1], colours[i][2], 255), 95);
        paths.push_back(dir.file("shot" + std::to_string(i) + ".jpg"));
        ASSERT_TRUE(writeFileAtomically(std::string(jpeg->begin(), jpeg->end()), paths[i]).empty());
    }
    test::FakePrintPort port;
    pipeline.attachPrintPort(port, {}, dir.file("frame.png"));
    std::string why;
    const auto made = pipeline.composeTurnShots(paths, &why);
    ASSERT_TRUE(made) << why;
    EXPECT_TRUE(made->shown.picture);
    ASSERT_FALSE(made->filed.path.empty());
    EXPECT_EQ(made->filed.path.rfind(dir.file("Images/2011-03-05/guest_"), 0), 0u)
        << made->filed.path;
    EXPECT_FALSE(made->filed.uploadPath.empty());
    // Each window holds its shot, in the order taken; the frame stays between.
    const auto filed = loadBitmapFromFile(made->filed.path);
    ASSERT_TRUE(filed);
    ASSERT_EQ(filed->width, 400);
    const int centres[4][2] = {{100, 75}, {300, 75}, {100, 225}, {300, 225}};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(shots::near(filed->pixel(centres[i][0], centres[i][1]), colours[i][0],
                                colours[i][1], colours[i][2]))
            << "window " << i + 1;
    EXPECT_TRUE(shots::near(filed->pixel(200, 150), 128, 128, 128));
    // It carries the guest's data, as every filed photo does.
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath(made->filed.path);
    ASSERT_TRUE(payload && payload->dictionary());
    // It is the current photo and is printed as it is, not framed again.
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    pipeline.printCurrentPictureWithPrompt();
    ASSERT_EQ(port.jobs.size(), 1u);
    EXPECT_EQ(port.jobs[0].width, 400);
    EXPECT_EQ(port.jobs[0].height, 300);

    // Without a frame drawn for four, the print frame's two windows take
    // the first two shots; a shot that cannot be read is left out.
    ASSERT_EQ(::unlink(dir.file("frame4.png").c_str()), 0);
    const auto two = pipeline.composeTurnShots(
        {dir.file("missing.jpg"), paths[0], paths[1], paths[2], paths[3]}, &why);
    ASSERT_TRUE(two) << why;
    const auto twoFiled = loadBitmapFromFile(two->filed.path);
    ASSERT_TRUE(twoFiled);
    EXPECT_NE(two->filed.path, made->filed.path);
    EXPECT_TRUE(shots::near(twoFiled->pixel(100, 75), 230, 20, 20));
    EXPECT_TRUE(shots::near(twoFiled->pixel(300, 75), 20, 200, 20));
    EXPECT_TRUE(shots::near(twoFiled->pixel(100, 225), 128, 128, 128));
    // A taken shot replaces the print picture as the current photo.
    pipeline.setImageDict({{"GLIMRA_CameraPhotoData", Value(test::makeBarJpeg(64, 48, {}))}});
    pipeline.printCurrentPictureWithPrompt();
    ASSERT_EQ(port.jobs.size(), 2u);
    EXPECT_EQ(port.calls.back(), "print silent");
    EXPECT_NE(std::find(port.calls.begin(), port.calls.end(), "composite"), port.calls.end());
}

TEST_F(KioskPipelineTest, APrintPictureNeedsTheFrameAndAShotThatCanBeRead) {
    pipeline.setImageDict({{kPhotoDataKey, Value(test::makeBarJpeg(64, 48, {}))}});
    pipeline.printCurrentPictureWithPrompt();  // without a port nothing is printed
    EXPECT_FALSE(pipeline.printCurrentPictureForOperator());
    EXPECT_EQ(pipeline.printFlow(), nullptr);
    std::string why;
    EXPECT_FALSE(pipeline.composeTurnShots({dir.file("a.jpg")}, &why));
    EXPECT_NE(why.find("no printer support"), std::string::npos) << why;
    test::FakePrintPort port;
    pipeline.attachPrintPort(port, {}, dir.file("no-frame.png"));
    EXPECT_FALSE(pipeline.composeTurnShots({dir.file("a.jpg")}, &why));
    EXPECT_NE(why.find("can be read"), std::string::npos) << why;
    const auto jpeg = encodeJpegFromRGBA(Bitmap::rgba(50, 50, 1, 2, 3, 255), 90);
    ASSERT_TRUE(
        writeFileAtomically(std::string(jpeg->begin(), jpeg->end()), dir.file("a.jpg")).empty());
    EXPECT_FALSE(pipeline.composeTurnShots({dir.file("a.jpg")}, &why));
    EXPECT_NE(why.find("missing or unreadable"), std::string::npos) << why;
}

// The print prompt: the guest's addresses reach the print flow, the photo
// comes from the last camera delivery, the no-photo notice goes to the
// floating panel and fades.
TEST_F(KioskPipelineTest, PromptUsesTheGuestsAddressesAndTheLastPhotoOrShowsTheNoPhotoNotice) {
    test::FakePrintPort port;
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 3);
    session.emails = {"a@x.y", "b@x.y", "c@x.y"};
    pipeline.attachPrintPort(port);
    pipeline.printCurrentPictureWithPrompt();
    EXPECT_TRUE(port.jobs.empty());
    const auto uiSaw = [this](const std::string& line) {
        return std::find(ui.calls.begin(), ui.calls.end(), line) != ui.calls.end();
    };
    EXPECT_TRUE(uiSaw("panel No image to print!\n\nTake a picture before printing!"));
    EXPECT_FALSE(uiSaw("panel fade"));
    loop.advance(5);
    EXPECT_TRUE(uiSaw("panel fade"));

    pipeline.setImageDict({{kPhotoDataKey, Value(test::makeBarJpeg(64, 48, {}))}});
    pipeline.printCurrentPictureWithPrompt();
    ASSERT_EQ(port.jobs.size(), 1u);
    EXPECT_EQ(port.sheetShownWith.back(), 3);
    EXPECT_EQ(port.jobs[0].setup.copies, 3);
    EXPECT_TRUE(port.jobs[0].dialog);
    EXPECT_TRUE(pipeline.printCurrentPictureForOperator());
    EXPECT_TRUE(port.jobs.back().dialog);
}

}  // namespace
}  // namespace klik
