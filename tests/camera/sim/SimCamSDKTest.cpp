#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <mutex>

#include "camera/QZNSImageFlipped.h"
#include "camera/sim/SimCamSDK.h"

namespace klik {

namespace {

// What the SDK's handlers saw, with a way to wait for it.
struct Recorder {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::uint32_t> states, propertyEvents, propertyIDs;
    int added = 0;
    std::vector<Data> pictures;
    std::vector<std::string> names;
    std::vector<std::uint32_t> progress;
    CamError downloadResult = CAM_ERR_OK;
    int objectEvents = 0;
    SimCamSDK* sdk = nullptr;
    bool onEventThread = true;

    template <class P>
    bool waitFor(P pred) {
        std::unique_lock l(m);
        return cv.wait_for(l, std::chrono::seconds(20), pred);
    }
};

CamError onAdded(void* ctx) {
    auto* r = static_cast<Recorder*>(ctx);
    std::lock_guard l(r->m);
    ++r->added;
    r->cv.notify_all();
    return 0;
}

CamError onState(CamStateEvent e, std::uint32_t, void* ctx) {
    auto* r = static_cast<Recorder*>(ctx);
    std::lock_guard l(r->m);
    r->states.push_back(e);
    r->cv.notify_all();
    return 0;
}

CamError onProperty(CamPropertyEvent e, CamPropertyID id, std::uint32_t, void* ctx) {
    auto* r = static_cast<Recorder*>(ctx);
    std::lock_guard l(r->m);
    r->propertyEvents.push_back(e);
    r->propertyIDs.push_back(id);
    r->cv.notify_all();
    return 0;
}

CamError onProgress(std::uint32_t percent, void* ctx, bool*) {
    auto* r = static_cast<Recorder*>(ctx);
    std::lock_guard l(r->m);
    r->progress.push_back(percent);
    return 0;
}

// Downloads the offered picture right in the handler, as the camera layer does.
CamError onObject(CamObjectEvent e, CamBaseRef item, void* ctx) {
    auto* r = static_cast<Recorder*>(ctx);
    SimCamSDK& sdk = *r->sdk;
    CamDirectoryItemInfo info;
    CamError err = sdk.CamGetDirectoryItemInfo(item, &info);
    Data buffer;
    if (!err) {
        buffer.resize(info.size);
        CamStreamRef stream = nullptr;
        err = sdk.CamCreateMemoryStreamFromPointer(buffer.data(), buffer.size(), &stream);
        if (!err) {
            sdk.CamSetProgressCallback(stream, onProgress, kCamProgressOption_Periodically, r);
            err = sdk.CamDownload(item, info.size, stream);
            if (!err) err = sdk.CamDownloadComplete(item);
            sdk.CamRelease(stream);
        }
    }
    std::lock_guard l(r->m);
    ++r->objectEvents;
    EXPECT_EQ(e, kCamObjectEvent_DirItemRequestTransfer);
    r->downloadResult = err;
    if (!err) {
        r->pictures.push_back(std::move(buffer));
        r->names.push_back(info.szFileName);
    }
    r->cv.notify_all();
    return 0;
}

struct SimFixture : ::testing::Test {
    SimConfig config() {
        SimConfig c;
        c.pictureWidth = 640;
        c.pictureHeight = 480;
        c.captureDelay = 0;
        c.downloadChunkSize = std::uint64_t{64} * 1024;
        return c;
    }
    // The first camera's reference, retained for the test.
    CamCameraRef firstCamera(SimCamSDK& sdk) {
        CamCameraListRef list = nullptr;
        EXPECT_EQ(sdk.CamGetCameraList(&list), 0u);
        CamBaseRef cam = nullptr;
        EXPECT_EQ(sdk.CamGetChildAtIndex(list, 0, &cam), 0u);
        sdk.CamRelease(list);
        return cam;
    }
    void setU32(SimCamSDK& sdk, CamCameraRef cam, CamPropertyID id, std::uint32_t v,
                CamError expected = 0) {
        EXPECT_EQ(sdk.CamSetPropertyData(cam, id, 0, 4, &v), expected) << std::hex << id;
    }
};

TEST_F(SimFixture, CameraListReferencesDeviceInfoAndAnOlderBody) {
    SimConfig c = config();
    c.cameras = {SimCameraSpec{"Body A", "usb:1", 1, "1"},
                 SimCameraSpec{"Body B", "usb:2", 0, "2"}};
    SimCamSDK sdk(c);
    ASSERT_EQ(sdk.CamInitializeSDK(), 0u);
    CamCameraListRef list = nullptr;
    ASSERT_EQ(sdk.CamGetCameraList(&list), 0u);
    std::uint32_t count = 0;
    ASSERT_EQ(sdk.CamGetChildCount(list, &count), 0u);
    EXPECT_EQ(count, 2u);
    CamBaseRef a = nullptr, b = nullptr, again = nullptr, none = nullptr;
    ASSERT_EQ(sdk.CamGetChildAtIndex(list, 0, &a), 0u);
    ASSERT_EQ(sdk.CamGetChildAtIndex(list, 1, &b), 0u);
    EXPECT_EQ(sdk.CamGetChildAtIndex(list, 2, &none), CAM_ERR_INVALID_INDEX);
    EXPECT_EQ(sdk.CamRelease(list), 0u);

    // One stable reference per camera across lists.
    ASSERT_EQ(sdk.CamGetCameraList(&list), 0u);
    ASSERT_EQ(sdk.CamGetChildAtIndex(list, 0, &again), 0u);
    EXPECT_EQ(again, a);
    sdk.CamRelease(again);
    sdk.CamRelease(list);

    CamDeviceInfo info;
    ASSERT_EQ(sdk.CamGetDeviceInfo(b, &info), 0u);
    EXPECT_STREQ(info.szDeviceDescription, "Body B");
    EXPECT_STREQ(info.szPortName, "usb:2");
    EXPECT_EQ(info.deviceSubType, 0u);
    // B, an older body, has no live view and takes status commands.
    ASSERT_EQ(sdk.CamOpenSession(b), 0u);
    setU32(sdk, b, kCamPropID_Evf_OutputDevice, 0x3, CAM_ERR_NOT_SUPPORTED);
    ASSERT_EQ(sdk.CamSendStatusCommand(b, kCamCameraStatusCommand_UILock, 0), 0u);
    ASSERT_EQ(sdk.CamSendStatusCommand(b, kCamCameraStatusCommand_UIUnLock, 0), 0u);
    auto sent = sdk.sentCommands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_TRUE(sent[0].status);
    EXPECT_EQ(sent[1].command, kCamCameraStatusCommand_UIUnLock);
    EXPECT_EQ(sdk.CamCloseSession(b), 0u);
    EXPECT_EQ(sdk.CamRetain(a), 3u);  // the SDK's own, the test's, this one
    EXPECT_EQ(sdk.CamRelease(a), 2u);
    EXPECT_EQ(sdk.outstandingReferences(), 2u);
    sdk.CamRelease(a);
    sdk.CamRelease(b);
    EXPECT_EQ(sdk.outstandingReferences(), 0u);
    // A reference the SDK never handed out is refused, not followed.
    CamObject foreign;
    EXPECT_EQ(sdk.CamGetDeviceInfo(&foreign, &info), CAM_ERR_INVALID_HANDLE);
    EXPECT_EQ(sdk.CamRetain(&foreign), 0u);
}

TEST_F(SimFixture, TakePictureOffersRealJpegWithExifThatChangesPerShotUntilTheCameraVanishes) {
    SimConfig c = config();
    c.downloadChunkSize = 1024;
    Recorder r;  // outlives the SDK, whose event thread calls into it
    SimCamSDK sdk(c);
    sdk.CamInitializeSDK();
    r.sdk = &sdk;
    CamCameraRef cam = firstCamera(sdk);
    ASSERT_EQ(sdk.CamSetObjectEventHandler(cam, kCamObjectEvent_All, onObject, &r), 0u);
    sdk.CamSetCameraStateEventHandler(cam, kCamStateEvent_All, onState, &r);
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), CAM_ERR_SESSION_NOT_OPEN);
    ASSERT_EQ(sdk.CamOpenSession(cam), 0u);

    // Saving to the card offers nothing to the host.
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), 0u);
    sdk.waitUntilIdle();
    EXPECT_EQ(r.objectEvents, 0);

    setU32(sdk, cam, kCamPropID_SaveTo, kCamSaveTo_Host);
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), 0u);
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_PressShutterButton, kCamShutterButton_Completely),
              0u);
    ASSERT_TRUE(r.waitFor([&] { return r.pictures.size() == 2; }));
    EXPECT_EQ(r.names[0], "IMG_0002.JPG");
    EXPECT_EQ(r.names[1], "IMG_0003.JPG");
    EXPECT_GE(r.progress.size(), 2u);
    EXPECT_EQ(r.progress.back(), 100u);

    std::vector<std::uint8_t> a, b;
    int w = 0, h = 0;
    ASSERT_TRUE(decodeJpegRGB(r.pictures[0].data(), r.pictures[0].size(), a, w, h));
    EXPECT_EQ(w, 640);
    EXPECT_EQ(h, 480);
    ASSERT_TRUE(decodeJpegRGB(r.pictures[1].data(), r.pictures[1].size(), b, w, h));
    EXPECT_NE(a, b);

    auto image =
        Exiv2::ImageFactory::open(r.pictures[0].data(), static_cast<long>(r.pictures[0].size()));
    image->readMetadata();
    auto& exif = image->exifData();
    EXPECT_EQ(exif["Exif.Image.Make"].toString(), "Klik Simulated Cameras");
    EXPECT_EQ(exif["Exif.Image.Model"].toString(), "Klik Sim Camera");
    EXPECT_EQ(exif["Exif.Photo.DateTimeOriginal"].toString().size(), 19u);
    EXPECT_EQ(exif["Exif.Photo.ExposureTime"].toString(), "1/60");
    EXPECT_EQ(exif["Exif.Photo.ISOSpeedRatings"].toString(), "100");

    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_PressShutterButton, 2),
              CAM_ERR_INVALID_PARAMETER);
    EXPECT_EQ(sdk.CamSendCommand(cam, 0x77, 0), 0xA001u);

    // The camera vanishes during the next download, at 30 %.
    sdk.setVanishDuringDownload(30);
    ASSERT_EQ(sdk.CamSendCommand(cam, kCamCommand_TakePicture, 0), 0u);
    ASSERT_TRUE(r.waitFor([&] { return r.objectEvents == 3 && r.states.size() == 1; }));
    EXPECT_EQ(r.downloadResult, CAM_ERR_COMM_DISCONNECTED);
    EXPECT_EQ(r.pictures.size(), 2u);
    EXPECT_LT(r.progress.back(), 40u);
    sdk.CamRelease(cam);
    sdk.waitUntilIdle();  // the SDK lets go of an offered item after its handler
    EXPECT_EQ(sdk.outstandingReferences(), 0u);
}

TEST_F(SimFixture, LiveViewFramesWithNotReadyBetween) {
    SimConfig c = config();
    c.liveViewWidth = 320;
    c.liveViewHeight = 200;
    // A frame every 200 ms: the next call, made at once, finds none due
    // even on a busy machine or under a sanitizer.
    c.liveViewFramesPerSecond = 5;
    SimCamSDK sdk(c);
    sdk.CamInitializeSDK();
    CamCameraRef cam = firstCamera(sdk);
    ASSERT_EQ(sdk.CamOpenSession(cam), 0u);
    std::vector<std::uint8_t> buffer(1 << 20);
    CamStreamRef stream = nullptr;
    CamEvfImageRef image = nullptr;
    ASSERT_EQ(sdk.CamCreateMemoryStreamFromPointer(buffer.data(), buffer.size(), &stream), 0u);
    ASSERT_EQ(sdk.CamCreateEvfImageRef(stream, &image), 0u);
    EXPECT_EQ(sdk.CamDownloadEvfImage(cam, image), CAM_ERR_OBJECT_NOTREADY);  // not started
    setU32(sdk, cam, kCamPropID_Evf_OutputDevice, 0x3);
    EXPECT_TRUE(sdk.isLiveViewActive(1));
    ASSERT_EQ(sdk.CamDownloadEvfImage(cam, image), 0u);
    // The next frame is not due yet, so at once the camera has none.
    EXPECT_EQ(sdk.CamDownloadEvfImage(cam, image), CAM_ERR_OBJECT_NOTREADY);
    std::uint64_t length = 0;
    ASSERT_EQ(sdk.CamGetLength(stream, &length), 0u);
    std::vector<std::uint8_t> first, second;
    int w = 0, h = 0;
    ASSERT_TRUE(decodeJpegRGB(buffer.data(), buffer.size(), first, w, h));
    EXPECT_EQ(w, 320);
    EXPECT_EQ(h, 200);
    CamError err;
    while ((err = sdk.CamDownloadEvfImage(cam, image)) == CAM_ERR_OBJECT_NOTREADY) {
    }
    ASSERT_EQ(err, 0u);
    ASSERT_TRUE(decodeJpegRGB(buffer.data(), buffer.size(), second, w, h));
    EXPECT_NE(first, second);  // the pattern moves
    sdk.CamRelease(stream);    // the image reference still holds the stream
    sdk.CamRelease(image);
    sdk.CamRelease(cam);
    EXPECT_EQ(sdk.outstandingReferences(), 0u);
}

TEST_F(SimFixture, PropertiesWritesEventsExposureModesFaultsUnplugAndPlug) {
    Recorder r;  // outlives the SDK, whose event thread calls into it
    SimCamSDK sdk(config());
    sdk.CamInitializeSDK();
    r.sdk = &sdk;
    ASSERT_EQ(sdk.CamSetCameraAddedHandler(onAdded, &r), 0u);
    CamCameraRef cam = firstCamera(sdk);
    sdk.CamSetCameraStateEventHandler(cam, kCamStateEvent_All, onState, &r);
    ASSERT_EQ(sdk.CamSetPropertyEventHandler(cam, kCamPropertyEvent_All, onProperty, &r), 0u);
    CamDataType type;
    std::uint32_t size;
    EXPECT_EQ(sdk.CamGetPropertySize(cam, kCamPropID_ISOSpeed, 0, &type, &size),
              CAM_ERR_SESSION_NOT_OPEN);
    ASSERT_EQ(sdk.CamOpenSession(cam), 0u);
    ASSERT_EQ(sdk.CamGetPropertySize(cam, kCamPropID_OwnerName, 0, &type, &size), 0u);
    EXPECT_EQ(type, kCamDataType_String);
    ASSERT_EQ(sdk.CamGetPropertySize(cam, kCamPropID_DateTime, 0, &type, &size), 0u);
    EXPECT_EQ(type, kCamDataType_Time);
    EXPECT_EQ(size, 28u);

    setU32(sdk, cam, kCamPropID_ISOSpeed, 0x60);
    setU32(sdk, cam, kCamPropID_ISOSpeed, 0x61, CAM_ERR_INVALID_DEVICEPROP_VALUE);
    setU32(sdk, cam, kCamPropID_BatteryLevel, 5, 0xA005);
    EXPECT_EQ(sdk.propertyValue(1, kCamPropID_ISOSpeed), 0x60u);
    setU32(sdk, cam, kCamPropID_AEMode, 2);  // aperture priority: Tv is the camera's
    ASSERT_TRUE(r.waitFor([&] { return r.propertyEvents.size() >= 3; }));
    EXPECT_EQ(r.propertyIDs[0], kCamPropID_ISOSpeed);
    EXPECT_EQ(r.propertyIDs[1], kCamPropID_AEMode);
    EXPECT_EQ(r.propertyEvents[2], kCamPropertyEvent_PropertyDescChanged);
    CamPropertyDesc desc;
    ASSERT_EQ(sdk.CamGetPropertyDesc(cam, kCamPropID_Tv, &desc), 0u);
    EXPECT_EQ(desc.numElements, 0);
    ASSERT_EQ(sdk.CamGetPropertyDesc(cam, kCamPropID_Av, &desc), 0u);
    EXPECT_GT(desc.numElements, 10);

    // The clock keeps what was set and goes on ticking from there.
    CamTime t{2011, 1, 5, 14, 3, 7, 250};
    ASSERT_EQ(sdk.CamSetPropertyData(cam, kCamPropID_DateTime, 0, sizeof t, &t), 0u);
    CamTime back{};
    ASSERT_EQ(sdk.CamGetPropertyData(cam, kCamPropID_DateTime, 0, sizeof back, &back), 0u);
    EXPECT_EQ(back.year, 2011u);
    EXPECT_EQ(back.month, 1u);
    EXPECT_EQ(back.day, 5u);
    CamTime bad{2011, 13, 5, 14, 3, 7, 0};
    EXPECT_EQ(sdk.CamSetPropertyData(cam, kCamPropID_DateTime, 0, sizeof bad, &bad),
              CAM_ERR_INVALID_DEVICEPROP_VALUE);
    const char owner[] = "Booth 4";
    ASSERT_EQ(sdk.CamSetPropertyData(cam, kCamPropID_OwnerName, 0, sizeof owner, owner), 0u);
    char got[64] = {};
    ASSERT_EQ(sdk.CamGetPropertySize(cam, kCamPropID_OwnerName, 0, &type, &size), 0u);
    ASSERT_EQ(sdk.CamGetPropertyData(cam, kCamPropID_OwnerName, 0, size, got), 0u);
    EXPECT_STREQ(got, "Booth 4");

    sdk.setFault("CamSendCommand", SimFault{0x81, 0, 1, std::nullopt});
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_ExtendShutDownTimer, 0), 0x81u);
    EXPECT_EQ(sdk.CamSendCommand(cam, kCamCommand_ExtendShutDownTimer, 0), 0u);
    sdk.setFault("CamGetPropertyData", SimFault{0x02, 0, -1, kCamPropID_Tv});
    std::uint32_t v = 0;
    EXPECT_EQ(sdk.CamGetPropertyData(cam, kCamPropID_Tv, 0, 4, &v), 0x02u);
    EXPECT_EQ(sdk.CamGetPropertyData(cam, kCamPropID_Av, 0, 4, &v), 0u);

    int second = sdk.plugCamera(SimCameraSpec{"Body C", "usb:9", 1, "9"});
    ASSERT_TRUE(r.waitFor([&] { return r.added == 1; }));
    EXPECT_EQ(sdk.pluggedCameras(), (std::vector<int>{1, second}));

    ASSERT_TRUE(sdk.unplugCamera(1));
    ASSERT_TRUE(r.waitFor([&] { return r.states.size() == 1; }));
    EXPECT_EQ(r.states[0], kCamStateEvent_Shutdown);
    CamDeviceInfo info;
    EXPECT_EQ(sdk.CamGetDeviceInfo(cam, &info), CAM_ERR_DEVICE_NOT_FOUND);
    EXPECT_FALSE(sdk.unplugCamera(1));
    EXPECT_EQ(sdk.pluggedCameras(), (std::vector<int>{second}));
    sdk.CamRelease(cam);
    EXPECT_EQ(sdk.outstandingReferences(), 0u);
}

}  // namespace

}  // namespace klik
