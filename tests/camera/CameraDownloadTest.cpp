#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "CameraTestFixture.h"
#include "camera/CamTables.h"
#include "camera/QZNSImageFlipped.h"

namespace klik::test {

TEST_F(CameraFixture, FullSizePictureDownloadsInChunksWithProgress) {
    SimConfig c = smallConfig();
    c.pictureWidth = 6000;
    c.pictureHeight = 4000;
    c.downloadChunkSize = std::uint64_t{64} * 1024;
    start(c);
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    auto photo = all(GLIMRA_CameraPhotoDataAvailable)[0];
    EXPECT_FALSE(photo.onMain);  // delivered on the SDK's event thread
    EXPECT_EQ(photo.n.sender(), cam.get());
    const Data* bytes = photo.n.info(GLIMRA_CameraPhotoData).data();
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(photo.n.info(GLIMRA_CameraPhotoFilename).stringOr(), "IMG_0001.JPG");
    std::vector<std::uint8_t> rgb;
    int w = 0, h = 0;
    ASSERT_TRUE(decodeJpegRGB(bytes->data(), bytes->size(), rgb, w, h));
    EXPECT_EQ(w, 6000);
    EXPECT_EQ(h, 4000);
    auto progress = all(GLIMRA_CameraDownloadProgress);
    ASSERT_GE(progress.size(), 2u);
    std::int64_t last = -1;
    for (const auto& p : progress) {
        EXPECT_TRUE(p.onMain);
        std::int64_t pct = p.n.info(GLIMRA_CameraDownloadProgressPercent).integerValue();
        EXPECT_GT(pct, last);
        last = pct;
    }
    EXPECT_EQ(last, 100);
}

// The photo chain keeps one picture and its guest while it files them: a
// picture whose observers are still at work holds the next one back, so a
// late picture and the next guest's never meet there, and pictures come in
// the order they were taken.
TEST_F(CameraFixture, PicturesReachTheirObserversOneAtATimeInTheOrderTaken) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    std::mutex m;
    std::condition_variable changed;
    int inside = 0, most = 0;
    std::vector<std::string> names;
    auto slow = NotificationCenter::defaultCenter().addObserver(
        GLIMRA_CameraPhotoDataAvailable, [&](const Notification& n) {
            std::unique_lock l(m);
            most = std::max(most, ++inside);
            names.push_back(n.info(GLIMRA_CameraPhotoFilename).stringOr());
            if (names.size() == 1) {
                // The first picture's chain is still busy when the second
                // picture has been downloaded (the SDK tells no one: look).
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (sim->deliveredCount() < 2 && std::chrono::steady_clock::now() < until)
                    changed.wait_for(l, std::chrono::milliseconds(2));
            }
            --inside;
        });
    shoot(cam);
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 2; }));
    settle();
    NotificationCenter::defaultCenter().removeObserver(slow);
    EXPECT_EQ(sim->deliveredCount(), 2u);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(names, (std::vector<std::string>{"IMG_0001.JPG", "IMG_0002.JPG"}));
}

TEST_F(CameraFixture,
       EveryFailedStepOfADownloadIsReportedTheDelegateMayCancelAndTheNextComesThrough) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    // Object events other than a transfer request download nothing.
    EXPECT_EQ(cam->processObjectEvent(0x204, nullptr), 0u);
    EXPECT_EQ(sim->callCount("CamGetDirectoryItemInfo"), 0);
    ASSERT_TRUE(cam->load());
    size_t failed = 0;
    for (const char* call : {"CamDownload", "CamGetDirectoryItemInfo",
                             "CamCreateMemoryStreamFromPointer", "CamDownloadComplete"}) {
        SCOPED_TRACE(call);
        sim->setFault(call, SimFault{0xA102, 0, 1, std::nullopt});
        shoot(cam);
        // The application hears that the picture will not come, and why.
        ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDownloadFailed) == failed + 1; }));
        ++failed;
        const Posted p = all(GLIMRA_CameraDownloadFailed).back();
        EXPECT_TRUE(p.onMain);
        EXPECT_EQ(p.n.sender(), cam.get());
        const Value& error = p.n.info(GLIMRA_CameraDownloadError);
        EXPECT_EQ(error[kCameraErrorCodeKey].integerValue(), 0xA102);
        EXPECT_EQ(error[kCameraErrorUserInfoKey][kCameraErrorDescriptionKey].stringOr(),
                  strForCamError(0xA102));
        settle();
    }
    EXPECT_EQ(all(GLIMRA_CameraDownloadFailed)[0].n.info(GLIMRA_CameraPhotoFilename).stringOr(),
              "IMG_0001.JPG");
    EXPECT_EQ(count(GLIMRA_CameraDownloadFailed), failed);  // each told once
    EXPECT_EQ(sim->callCount("CamDownload"), 2);            // never tried again
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 0u);
    EXPECT_EQ(sim->outstandingReferences(), 1u);  // only the camera object's own

    // The delegate may cancel a download by its progress.
    struct Canceller : GLIMRA_CameraDelegate {
        std::optional<bool> cancelDownloadForProgress(GLIMRA_Camera&, std::uint32_t p) override {
            return p >= 20;
        }
    } canceller;
    cam->setDelegate(&canceller);
    const size_t progress = count(GLIMRA_CameraDownloadProgress);
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDownloadProgress) > progress; }));
    GLIMRA_Camera::waitForBackgroundThreads();
    settle();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 0u);
    cam->setDelegate(nullptr);
    // The next picture comes through.
    failed = count(GLIMRA_CameraDownloadFailed);
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    EXPECT_EQ(count(GLIMRA_CameraDownloadFailed), failed);
    // Saving to the card sends the host's capacity.
    const int before = sim->callCount("CamSetCapacity");
    EXPECT_TRUE(cam->setDestination(kCamSaveTo_Camera));
    EXPECT_EQ(sim->callCount("CamSetCapacity"), before + 1);
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_SaveTo), kCamSaveTo_Camera);
    EXPECT_TRUE(cam->setHostStorageCapacityAtPath(std::string("/nonexistent/dir"), false));
}

TEST_F(CameraFixture, CameraVanishingMidDownloadPostsNoPictureAndUnloads) {
    start(smallConfig());
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    sim->setVanishDuringDownload(50);
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == 1; }));
    settle();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 0u);
    ASSERT_EQ(count(GLIMRA_CameraDownloadFailed), 1u);
    EXPECT_EQ(all(GLIMRA_CameraDownloadFailed)[0]
                  .n.info(GLIMRA_CameraDownloadError)[kCameraErrorCodeKey]
                  .integerValue(),
              CAM_ERR_COMM_DISCONNECTED);
    EXPECT_FALSE(cam->isLoaded());
    EXPECT_TRUE(GLIMRA_Camera::cameras()->empty());
}

}  // namespace klik::test

namespace klik::test {

namespace {

// The one photo posted for a RAW+JPEG shot: the JPEG with its RAW beside.
void expectPairedShot(const Posted& p, const std::string& jpeg, const std::string& raw) {
    EXPECT_EQ(p.n.info(GLIMRA_CameraPhotoFilename).stringOr(), jpeg);
    EXPECT_EQ(p.n.info(GLIMRA_CameraRawFilename).stringOr(), raw);
    const Data* photo = p.n.info(GLIMRA_CameraPhotoData).data();
    const Data* rawBytes = p.n.info(GLIMRA_CameraRawData).data();
    ASSERT_TRUE(photo && rawBytes);
    ASSERT_GE(photo->size(), 2u);
    EXPECT_EQ((*photo)[0], 0xFF);
    EXPECT_EQ((*photo)[1], 0xD8);
    ASSERT_GE(rawBytes->size(), 4u);
    EXPECT_EQ((*rawBytes)[0], 'I');
    EXPECT_EQ((*rawBytes)[2], '*');
}

}  // namespace

TEST_F(CameraFixture, ARawThatComesFirstGoesOutWithItsJpegAndAFailedOneCostsNoPhoto) {
    SimConfig c = smallConfig();
    c.rawAlongside = SimConfig::Raw::First;
    start(c);
    // A bound longer than the waits below: a JPEG held for a RAW would fail.
    GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05, 60});
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    // The RAW (first) fails: nothing is told; the JPEG is the photo.
    sim->setFault("CamDownload", SimFault{0x2, 0, 1, std::nullopt});
    for (size_t shot = 1; shot <= 3; ++shot) {
        shoot(cam);
        ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == shot; }));
    }
    settle();
    auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    ASSERT_EQ(photos.size(), 3u);
    EXPECT_EQ(photos[0].n.info(GLIMRA_CameraPhotoFilename).stringOr(), "IMG_0001.JPG");
    EXPECT_TRUE(photos[0].n.info(GLIMRA_CameraRawData).isNone());
    expectPairedShot(photos[1], "IMG_0002.JPG", "IMG_0002.CR2");
    expectPairedShot(photos[2], "IMG_0003.JPG", "IMG_0003.CR2");
    EXPECT_EQ(count(GLIMRA_CameraDownloadFailed), 0u);
}

TEST_F(CameraFixture, ARawAloneIsNeverAPhotoNorAFailureAndAJpegWaitsForItsRawWhenBothAreMade) {
    SimConfig c = smallConfig();
    c.rawAlongside = SimConfig::Raw::Second;
    start(c);
    GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05, 0.05});
    auto cam = scanned(1)[0];
    ASSERT_TRUE(cam->load());
    // The shot's JPEG fails (told: the guest's photo will not come); its
    // RAW comes alone, waits out the bound and is dropped.
    sim->setFault("CamDownload", SimFault{0x2, 0, 1, std::nullopt});
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return sim->callCount("CamDownload") == 2; }));
    settle();
    GLIMRA_Camera::waitForBackgroundThreads();
    loop.runPending();
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 0u);
    ASSERT_EQ(count(GLIMRA_CameraDownloadFailed), 1u);
    EXPECT_EQ(all(GLIMRA_CameraDownloadFailed)[0].n.info(GLIMRA_CameraPhotoFilename).stringOr(),
              "IMG_0001.JPG");

    // The body set to RAW+JPEG on its dial: the JPEG that comes first waits
    // for its RAW (within a bound longer than the wait here).
    GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05, 20});
    sim->turnDial(1, kCamPropID_ImageQuality, 0x002F001F);
    ASSERT_TRUE(pumpUntil([&] {
        for (const auto& p : all(GLIMRA_CameraPropertyDidChange))
            if (p.n.info(GLIMRA_CameraProperty).stringOr() == "RAW+L") return true;
        return false;
    }));
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    settle();
    auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    ASSERT_EQ(photos.size(), 1u);
    expectPairedShot(photos[0], "IMG_0002.JPG", "IMG_0002.CR2");
}

}  // namespace klik::test
