// The real libgphoto2 against our PTP/IP camera set up as a body at an
// event: two files per shot (RAW and JPEG), exposure modes that change the
// lists of speeds and apertures, property reads that take long. Every wait
// is on a condition with a generous limit, never on time passing.

#include <gphoto2/gphoto2-setting.h>

#include <condition_variable>

#include "GPhotoPtpipFixture.h"
#include "camera/CamTables.h"

namespace klik::test {
namespace {

class GPhotoPtpipBodyTest : public GPhotoPtpipFixture {
  protected:
    // The lists the camera class was told of for `property`, newest last.
    std::vector<Dictionary> listsAnnounced(const std::string& property) {
        std::vector<Dictionary> out;
        for (const auto& p : all(GLIMRA_CameraPropertiesDidChange))
            if (p.n.info(GLIMRA_CameraPropertyName).stringOr() == property)
                if (const Dictionary* d = p.n.info(GLIMRA_CameraProperties).dictionary())
                    out.push_back(*d);
        return out;
    }
};

class RawAndJpeg : public GPhotoPtpipBodyTest, public ::testing::WithParamInterface<const char*> {};

// Whichever file the body announces first, each shot is one photo: the
// JPEG, the bytes on the card; the RAW never arrives as a photo of its own.
TEST_P(RawAndJpeg, EachShotIsOnePhotoTheJpeg) {
    START_CAMERA_OR_SKIP("", {"--photo", "640x480", "--raw-jpeg", GetParam()});
    startLayer();
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 2; }));
    // A third shot: a stray RAW of the second would have come before it.
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) >= 3; }));
    const auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    ASSERT_EQ(photos.size(), 3u);
    for (const auto& photo : photos) {
        const std::string name = photo.n.info(GLIMRA_CameraPhotoFilename).stringOr();
        EXPECT_NE(name.find(".JPG"), std::string::npos) << name;
        const Data* bytes = photo.n.info(GLIMRA_CameraPhotoData).data();
        ASSERT_TRUE(bytes);
        EXPECT_TRUE(camera.photoOnCard(name) == std::string(bytes->begin(), bytes->end()));
        // The RAW of the same shot goes with it, as it is on the card.
        const std::string raw = photo.n.info(GLIMRA_CameraRawFilename).stringOr();
        EXPECT_EQ(raw.substr(0, raw.rfind('.')), name.substr(0, name.rfind('.'))) << raw;
        EXPECT_NE(raw.find(".CR2"), std::string::npos) << raw;
        const Data* rawBytes = photo.n.info(GLIMRA_CameraRawData).data();
        ASSERT_TRUE(rawBytes) << name;
        EXPECT_TRUE(camera.photoOnCard(raw) == std::string(rawBytes->begin(), rawBytes->end()));
    }
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 0u);
    EXPECT_EQ(count(GLIMRA_CameraDownloadFailed), 0u);
    EXPECT_EQ(guard.violations(), 0);
}

INSTANTIATE_TEST_SUITE_P(GPhotoPtpipBodyTest, RawAndJpeg,
                         ::testing::Values("raw-first", "jpeg-first"));

// A Canon EOS body driven through libgphoto2's EOS code, set to RAW+JPEG
// with the RAW reported first and the JPEG later, its live view warming up
// longer than libgphoto2's own 3 s of asking.
TEST_F(GPhotoPtpipBodyTest, AnEosBodyShootsToTheHostOffersItsControlsAndWarmsUpItsLiveView) {
    START_CAMERA_OR_SKIP(
        "", {"--photo", "640x480", "--personality", "canon-eos", "--live", "320x240", "--raw-jpeg",
             "raw-first", "--raw-jpeg-gap-ms", "300", "--viewfinder-warmup-ms", "4000"});
    // A card target left in libgphoto2's settings: the host that takes the
    // pictures sets the body's internal memory, so nothing fills the card.
    gp_setting_set(const_cast<char*>("ptp2"), const_cast<char*>("capturetarget"),
                   const_cast<char*>("card"));
    startLayer();
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    EXPECT_EQ(announced("ImageQuality"), "RAW+L");

    // Every vendor control the panel offers works through libgphoto2's widgets.
    std::uint32_t controls = 0;
    ASSERT_EQ(sdk->CamGetControls(cam->cameraRef(), &controls), CAM_ERR_OK);
    EXPECT_EQ(controls, kCamControl_All);
    CamError half = 1, release = 1, af = 1, afOff = 1, drive = 1, zoom = 1, place = 1;
    std::uint32_t zoomRead = 0;
    std::optional<bool> capacity;
    onCameraThread(cam, [&](GLIMRA_Camera& c) {
        CamSDK& s = *sdk;
        half = s.CamSendCommand(c.cameraRef(), kCamCommand_PressShutterButton,
                                kCamShutterButton_Halfway);
        release =
            s.CamSendCommand(c.cameraRef(), kCamCommand_PressShutterButton, kCamShutterButton_OFF);
        af = s.CamSendCommand(c.cameraRef(), kCamCommand_DoEvfAf, 1);
        afOff = s.CamSendCommand(c.cameraRef(), kCamCommand_DoEvfAf, 0);
        drive = s.CamSendCommand(c.cameraRef(), kCamCommand_DriveLensEvf, kCamDriveLens_Far2);
        std::uint32_t five = 5;
        zoom = s.CamSetPropertyData(c.cameraRef(), kCamPropID_Evf_Zoom, 0, 4, &five);
        s.CamGetPropertyData(c.cameraRef(), kCamPropID_Evf_Zoom, 0, 4, &zoomRead);
        std::int32_t xy[2] = {100, 200};
        place = s.CamSetPropertyData(c.cameraRef(), kCamPropID_Evf_ZoomPosition, 0, 8, xy);
        // The host's room is answered, not ignored.
        capacity = c.setHostStorageCapacityAtPath(std::nullopt, false);
    });
    EXPECT_EQ(half, CAM_ERR_OK);
    EXPECT_EQ(release, CAM_ERR_OK);
    EXPECT_EQ(af, CAM_ERR_OK);
    EXPECT_EQ(afOff, CAM_ERR_OK);
    EXPECT_EQ(drive, CAM_ERR_OK);
    EXPECT_EQ(zoom, CAM_ERR_OK);
    EXPECT_EQ(zoomRead, 5u);
    EXPECT_EQ(place, CAM_ERR_OK);
    EXPECT_EQ(capacity, std::optional<bool>(true));

    // Half-way and back left no shot behind; each full press is one photo,
    // the JPEG, taken from the body's memory.
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) >= 1; }));
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 1u);
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) >= 2; }));
    const auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    ASSERT_EQ(photos.size(), 2u);
    for (const auto& photo : photos) {
        const Data* bytes = photo.n.info(GLIMRA_CameraPhotoData).data();
        ASSERT_TRUE(bytes && bytes->size() > 2);
        EXPECT_EQ((*bytes)[0], 0xFF);
        EXPECT_EQ((*bytes)[1], 0xD8);
    }
    EXPECT_EQ(camera.photoOnCard("KLIK0001.JPG"), "");
    char target[1024] = {};
    ASSERT_EQ(gp_setting_get(const_cast<char*>("ptp2"), const_cast<char*>("capturetarget"), target),
              GP_OK);
    EXPECT_STREQ(target, "sdram");

    // The first live view request fails in the library's words; live view
    // goes on and shows frames once the body is warm.
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 2; }));
    EXPECT_TRUE(cam->isLiveViewRunning());
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 0u);
    EXPECT_EQ(guard.violations(), 0);
}

// At the camera boundary: one item per shot, the JPEG, whose sibling is the
// RAW of the same shot with its own name and the card's bytes. A generic PTP
// body has none of the vendor controls: the panel is told so, and asking for
// one says it is not supported.
TEST_F(GPhotoPtpipBodyTest, TheRawOfAShotIsTheSiblingOfItsJpegAndAGenericBodyHasNoVendorControls) {
    START_CAMERA_OR_SKIP("", {"--photo", "640x480", "--raw-jpeg", "raw-first"});
    GPhotoOptions options;
    options.usb = false;
    options.ptpipAddresses = {address()};
    GPhotoCamSDK sdk(options);
    ASSERT_EQ(sdk.CamInitializeSDK(), CAM_ERR_OK);
    CamCameraListRef list = nullptr;
    ASSERT_EQ(sdk.CamGetCameraList(&list), CAM_ERR_OK);
    CamBaseRef cam = nullptr;
    ASSERT_EQ(sdk.CamGetChildAtIndex(list, 0, &cam), CAM_ERR_OK);
    sdk.CamRelease(list);
    std::uint32_t controls = 0;
    EXPECT_EQ(sdk.CamGetControls(cam, &controls), CAM_ERR_SESSION_NOT_OPEN);
    struct Offered {
        std::mutex m;
        std::condition_variable cv;
        std::vector<CamBaseRef> items;
        GPhotoCamSDK* sdk;
    } offered;
    offered.sdk = &sdk;
    ASSERT_EQ(sdk.CamSetObjectEventHandler(
                  cam, kCamObjectEvent_All,
                  [](CamObjectEvent, CamBaseRef item, void* ctx) -> CamError {
                      auto* o = static_cast<Offered*>(ctx);
                      o->sdk->CamRetain(item);
                      std::lock_guard l(o->m);
                      o->items.push_back(item);
                      o->cv.notify_all();
                      return CAM_ERR_OK;
                  },
                  &offered),
              CAM_ERR_OK);
    ASSERT_EQ(sdk.CamOpenSession(cam), CAM_ERR_OK);
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), CAM_ERR_OK);
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), CAM_ERR_OK);
    {
        std::unique_lock l(offered.m);
        ASSERT_TRUE(offered.cv.wait_for(l, std::chrono::seconds(30),
                                        [&] { return offered.items.size() >= 2; }));
    }
    // Both shots' objects offered: two items, not four.
    ASSERT_EQ(offered.items.size(), 2u);
    auto download = [&](CamBaseRef item, const CamDirectoryItemInfo& info) {
        std::string bytes(info.size, '\0');
        CamStreamRef stream = nullptr;
        EXPECT_EQ(sdk.CamCreateMemoryStreamFromPointer(bytes.data(), bytes.size(), &stream),
                  CAM_ERR_OK);
        EXPECT_EQ(sdk.CamDownload(item, info.size, stream), CAM_ERR_OK);
        sdk.CamRelease(stream);
        return bytes;
    };
    std::uint32_t groups[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        CamBaseRef item = offered.items[static_cast<size_t>(i)];
        CamBaseRef raw = nullptr;
        ASSERT_EQ(sdk.CamGetSiblingItem(item, &raw), CAM_ERR_OK);
        CamDirectoryItemInfo jpegInfo{}, rawInfo{};
        ASSERT_EQ(sdk.CamGetDirectoryItemInfo(item, &jpegInfo), CAM_ERR_OK);
        ASSERT_EQ(sdk.CamGetDirectoryItemInfo(raw, &rawInfo), CAM_ERR_OK);
        const std::string jpegName = jpegInfo.szFileName, rawName = rawInfo.szFileName;
        EXPECT_EQ(jpegName.substr(jpegName.size() - 4), ".JPG");
        EXPECT_EQ(rawName.substr(rawName.size() - 4), ".CR2");
        EXPECT_EQ(jpegName.substr(0, jpegName.size() - 4), rawName.substr(0, rawName.size() - 4));
        EXPECT_EQ(jpegInfo.groupID, rawInfo.groupID);
        EXPECT_NE(jpegInfo.format, rawInfo.format);
        EXPECT_TRUE(download(item, jpegInfo) == camera.photoOnCard(jpegName));
        const std::string rawBytes = download(raw, rawInfo);
        EXPECT_FALSE(rawBytes.empty());
        EXPECT_TRUE(rawBytes == camera.photoOnCard(rawName));
        groups[i] = jpegInfo.groupID;
        CamBaseRef none = nullptr;
        EXPECT_EQ(sdk.CamGetSiblingItem(raw, &none), CAM_ERR_INVALID_INDEX);
        sdk.CamRelease(raw);
    }
    EXPECT_NE(groups[0], groups[1]);
    ASSERT_EQ(sdk.CamGetControls(cam, &controls), CAM_ERR_OK);
    EXPECT_EQ(controls, 0u);
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_DoEvfAf, 1), CAM_ERR_NOT_SUPPORTED);
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_DriveLensEvf, kCamDriveLens_Near1),
              CAM_ERR_NOT_SUPPORTED);
    std::uint32_t zoom = 5;
    EXPECT_EQ(sdk.CamSetPropertyData(cam, kCamPropID_Evf_Zoom, 0, 4, &zoom),
              CAM_ERR_DEVICEPROP_NOT_SUPPORTED);
    // Half-way down stays harmless: the body focuses as it fires.
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_PressShutterButton, kCamShutterButton_Halfway),
              CAM_ERR_OK);
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_PressShutterButton, kCamShutterButton_OFF),
              CAM_ERR_OK);
    ASSERT_EQ(sdk.CamCloseSession(cam), CAM_ERR_OK);
    for (CamBaseRef item : offered.items) sdk.CamRelease(item);
    sdk.CamSetObjectEventHandler(cam, kCamObjectEvent_All, nullptr, nullptr);
    sdk.CamRelease(cam);
    sdk.CamTerminateSDK();
}

// A body whose live view never becomes ready: asked again for the warm-up
// time, then reported, and live view ends instead of waiting for ever.
TEST_F(GPhotoPtpipBodyTest, ALiveViewThatNeverBecomesReadyIsReportedAfterTheWarmUp) {
    START_CAMERA_OR_SKIP(faults("<key>BusyCount</key><integer>-1</integer>"
                                "<key>BusyOperations</key><array><string>0x1025</string></array>"),
                         {"--photo", "640x480"});
    GPhotoOptions options;
    options.liveViewWarmUpSeconds = 1;
    startLayer(options);
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
    ASSERT_TRUE(pumpUntil([&] { return cam->isLiveViewRunning(); }));
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));
    EXPECT_EQ(count(GLIMRA_CameraLiveViewImageUpdate), 0u);
    // Busy is not gone: the camera stays loaded and still shoots.
    EXPECT_TRUE(cam->isLoaded());
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    EXPECT_EQ(guard.violations(), 0);
}

// A value the body reports changed is read alone and announced. A new
// exposure mode changes which speeds and apertures are allowed: the camera
// class hears of the new lists. The changes the body reports are read widget
// by widget, never as the whole (slow) tree.
TEST_F(GPhotoPtpipBodyTest, ChangesTheBodyReportsAreReadWidgetByWidgetWithTheNewLists) {
    START_CAMERA_OR_SKIP(
        "", {"--photo", "640x480", "--mode-dependent-choices", "--slow-property-ms", "20"});
    startLayer();
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    const unsigned treeReads = sdk->configTreeReads();
    const std::string iso = announced("ISOSpeed") == "ISO 400" ? "ISO 800" : "ISO 400";
    ASSERT_TRUE(set(cam, iso, kCamPropID_ISOSpeed));
    ASSERT_TRUE(pumpUntil([&] { return announced("ISOSpeed") == iso; }));
    EXPECT_EQ(sdk->configTreeReads(), treeReads);

    ASSERT_TRUE(set(cam, "Manual Exposure", kCamPropID_AEMode));
    ASSERT_TRUE(pumpUntil([&] { return announced("AEMode") == "Manual Exposure"; }));
    auto manual = listOf(cam, kCamPropID_Tv);
    ASSERT_TRUE(manual);
    ASSERT_GT(manual->size(), 1u);
    const size_t listsBefore = listsAnnounced("Tv").size();
    ASSERT_TRUE(set(cam, "Aperture Priority AE", kCamPropID_AEMode));
    // Aperture priority: the body picks the speed, one left to show.
    ASSERT_TRUE(pumpUntil([&] {
        auto lists = listsAnnounced("Tv");
        return lists.size() > listsBefore && lists.back().size() == 1;
    }));
    EXPECT_EQ(listOf(cam, kCamPropID_Tv)->size(), 1u);
    ASSERT_TRUE(pumpUntil([&] { return announced("AEMode") == "Aperture Priority AE"; }));
    // Back to manual: every aperture and speed again.
    ASSERT_TRUE(set(cam, "Manual Exposure", kCamPropID_AEMode));
    ASSERT_TRUE(pumpUntil([&] {
        auto lists = listsAnnounced("Tv");
        return !lists.empty() && lists.back().size() == manual->size();
    }));
    EXPECT_EQ(sdk->configTreeReads(), treeReads);
    EXPECT_GT(sdk->singleWidgetReads(), 0u);
    EXPECT_EQ(guard.violations(), 0);
}

}  // namespace
}  // namespace klik::test
