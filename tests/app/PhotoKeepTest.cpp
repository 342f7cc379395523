// The arriving photo through the real photo module: filed exactly once into
// today's folder with the guest's data inside, copied for upload; a photo
// that cannot be read leaves its bytes in the scratch folder.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "RecordingKioskUi.h"
#include "TestImages.h"
#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "camera/CameraNotifications.h"
#include "camera/RegistryCameraPort.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/ManualRunLoop.h"
#include "imaging/ImageCodec.h"
#include "photo/GLIMRA_XMLinEXIF.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) out.push_back(e.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

class PhotoKeepTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        RunLoop::setMain(&loop);
        for (const char* f : {"tmp", "Images", "Up", "Scratch"})
            ASSERT_EQ(::mkdir(dir.file(f).c_str(), 0755), 0);
        settings.setString("mainImagesFolder", dir.file("Images"));
        settings.setString("forUploadFolder", dir.file("Up"));
        settings.setString("scratchFolder", dir.file("Scratch"));
        settings.setBool("prefUseShortPathForWeb", true);
        settings.setString(key::prefKioskStationName, "Booth 7");
        initFolderGlobalsAtLaunch(settings);
        ASSERT_TRUE(parseIso8601("2011-03-05T14:30:15", when));
        controller =
            std::make_unique<AppController>(AppController::Environment{ui, loop, settings, center});
        pipeline = std::make_unique<KioskPhotoPipeline>(
            ui, loop, settings, [this] { return controller->photoFilingSession(); }, [] {},
            [] { return std::optional<std::string>("00:11:22:33:44:55"); },
            [this] { return when; });
        controller->setPhotoPipeline(pipeline.get());
        // The camera's photo notification reaches the controller through the
        // kiosk's camera port.
        controller->setCamera(&port);
    }
    void TearDown() override {
        controller.reset();
        pipeline.reset();
        RunLoop::setMain(nullptr);
        setFixedRoot("");
    }
    // With `raw`, the shot's RAW comes along as IMG_0001.CR2.
    void deliverFromCameraThread(const Data& bytes, const std::string& name, const Data& raw = {}) {
        Dictionary photo{{GLIMRA_CameraPhotoData, Value(bytes)},
                         {GLIMRA_CameraPhotoFilename, Value(name)}};
        if (!raw.empty()) {
            photo[GLIMRA_CameraRawData] = Value(raw);
            photo[GLIMRA_CameraRawFilename] = Value("IMG_0001.CR2");
        }
        ASSERT_TRUE(loop.runAlongside(
            [&] { center.post(GLIMRA_CameraPhotoDataAvailable, Value(), std::move(photo)); }));
    }

    TempDir dir;
    Settings settings{dir.file("settings.plist")};
    ManualRunLoop loop;
    NotificationCenter center;
    RegistryCameraPort port{center};
    RecordingKioskUi ui;
    Date when;
    std::unique_ptr<AppController> controller;
    std::unique_ptr<KioskPhotoPipeline> pipeline;
};

TEST_F(PhotoKeepTest, ArrivingPhotoIsFiledOnceIntoTodaysFolderWithTheGuestsDataAndItsRawBeside) {
    controller->setBarcodeValue("guest42");
    controller->setEmails({"guest@example.com"});
    const Data raw = {'I', 'I', '*', 0, 9, 8, 7};
    deliverFromCameraThread(makeBarJpeg(3000, 2000, {500}, "KeepCam"), "IMG_0001.JPG", raw);

    // The camera view shows the photo, decoded at a reduced size.
    ASSERT_TRUE(controller->_EVFView.image());
    EXPECT_EQ(controller->_EVFView.image()->width(), 1500);
    EXPECT_EQ(controller->_EVFView.image()->height(), 1000);

    // The shot's RAW is filed beside its photo and never uploaded.
    const auto filed = filesIn(dir.file("Images/2011-03-05"));
    ASSERT_EQ(filed, (std::vector<std::string>{
                         dir.file("Images/2011-03-05/guest42_001122334455_001.cr2"),
                         dir.file("Images/2011-03-05/guest42_001122334455_001.jpg")}));
    EXPECT_EQ(*readFileData(filed[0]), raw);
    auto payload = GLIMRA_XMLinEXIF::propertyListObjectForJpegAtPath(filed[1]);
    ASSERT_TRUE(payload && payload->isDictionary());
    const Dictionary& d = *payload->dictionary();
    EXPECT_EQ(d.at("VZ_emailsForUpload"), Value(Array{Value("guest@example.com")}));
    EXPECT_EQ(d.at("VZ_kioskStation"), Value("Booth 7"));
    const Data bytes = *readFileData(filed[1]);
    auto info = readJpegInfo(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 2000);
    EXPECT_EQ(info->height, 2000);
    EXPECT_EQ(exifValue(bytes, "Exif.Image.Make"), "KeepCam");
    // The upload copy, and nothing left in scratch.
    EXPECT_EQ(
        filesIn(dir.file("Up/2011-03-05")),
        std::vector<std::string>{dir.file("Up/2011-03-05/guest42_001122334455_comp_001.jpg")});
    EXPECT_TRUE(filesIn(dir.file("Scratch")).empty());
    EXPECT_EQ(pipeline->lastResult().filedPath, filed[1]);
}

TEST_F(PhotoKeepTest, UnreadablePhotoIsLeftUnchangedInScratchAndNothingIsFiled) {
    controller->setBarcodeValue("guest43");
    const Data junk{'b', 'r', 'o', 'k', 'e', 'n'};
    deliverFromCameraThread(junk, "IMG_0002.JPG");
    EXPECT_FALSE(controller->_EVFView.image());
    EXPECT_TRUE(filesIn(dir.file("Images")).empty());
    EXPECT_EQ(filesIn(dir.file("Scratch")),
              std::vector<std::string>{dir.file("Scratch/guest43_untagged_001.jpg")});
    EXPECT_EQ(readFile(dir.file("Scratch/guest43_untagged_001.jpg")), "broken");
    // The next good photo is filed as usual.
    deliverFromCameraThread(makeBarJpeg(640, 480, {}), "IMG_0003.JPG");
    EXPECT_EQ(filesIn(dir.file("Images/2011-03-05")).size(), 1u);
}

}  // namespace
}  // namespace klik::test
