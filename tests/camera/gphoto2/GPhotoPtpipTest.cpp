// The real libgphoto2 against our own PTP/IP camera: list, load, read and
// write properties, shoot and download, live view, and the workarounds for
// libgphoto2 2.5.30's faults. Every camera call runs on a camera worker;
// none of them waits for the main thread.

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "GPhotoPtpipFixture.h"
#include "camera/CamTables.h"
#include "camera/QZNSImageFlipped.h"
#include "camera/gphoto2/GPhotoLibraryFixes.h"

namespace klik::test {
namespace {

class GPhotoPtpipTest : public GPhotoPtpipFixture {};

TEST_F(GPhotoPtpipTest, ListsLoadsWritesShootsShowsLiveViewAndLeavesStandardInputOpen) {
    START_CAMERA_OR_SKIP();
    struct stat before {};
    ASSERT_EQ(fstat(0, &before), 0);
    startLayer();
    auto cam = listed();
    ASSERT_TRUE(cam);
    EXPECT_EQ(cam->description(), "PTP/IP Camera");
    ASSERT_TRUE(loaded(cam));
    for (const auto& p : all(GLIMRA_CameraPropertyDidChange)) EXPECT_TRUE(p.onMain);
    EXPECT_EQ(announced("ISOSpeed").rfind("ISO ", 0), 0u) << announced("ISOSpeed");
    EXPECT_NE(announced("BatteryLevel").find(" %"), std::string::npos);
    EXPECT_FALSE(announced("Av").empty());
    EXPECT_FALSE(announced("Tv").empty());
    // The panel's lists: the ISO menu holds the table's texts.
    cam->performInBackground(
        [](GLIMRA_Camera& c) { c.announceSupportedValues({kCamPropID_ISOSpeed}); });
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPropertiesDidChange) >= 1; }));
    const auto lists = all(GLIMRA_CameraPropertiesDidChange);
    const Dictionary* iso = lists[0].n.info(GLIMRA_CameraProperties).dictionary();
    ASSERT_TRUE(iso);
    EXPECT_GE(iso->size(), 2u);

    // Another white balance, written and announced.
    const std::optional<Dictionary> wb = listOf(cam, kCamPropID_WhiteBalance);
    ASSERT_TRUE(wb && wb->size() >= 2);
    const std::string now = announced("WhiteBalance");
    ASSERT_FALSE(now.empty());
    std::string other;
    for (const auto& [text, raw] : *wb)
        if (text != now) other = text;
    EXPECT_TRUE(set(cam, other, kCamPropID_WhiteBalance));
    ASSERT_TRUE(pumpUntil([&] { return announced("WhiteBalance") == other; }));

    // A shot arrives as the very bytes the camera holds on its card; above
    // 1 MB libgphoto2 fetches them in parts (GetPartialObject).
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    const Posted photo = all(GLIMRA_CameraPhotoDataAvailable)[0];
    const Data* bytes = photo.n.info(GLIMRA_CameraPhotoData).data();
    ASSERT_TRUE(bytes && bytes->size() > 1u << 20);
    EXPECT_EQ((*bytes)[0], 0xFF);
    EXPECT_EQ((*bytes)[1], 0xD8);
    const std::string held =
        camera.photoOnCard(photo.n.info(GLIMRA_CameraPhotoFilename).stringOr());
    EXPECT_EQ(held.size(), bytes->size());
    EXPECT_TRUE(held == std::string(bytes->begin(), bytes->end()));
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDownloadProgress) >= 1; }));
    EXPECT_EQ(all(GLIMRA_CameraDownloadProgress)
                  .back()
                  .n.info(GLIMRA_CameraDownloadProgressPercent)
                  .integerValue(),
              100);
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 0u);

    // Live view frames move; a command queued meanwhile is served before
    // further frames.
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewBegin(); });
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraLiveViewImageUpdate) >= 4; }));
    auto frames = all(GLIMRA_CameraLiveViewImageUpdate);
    auto bytesOf = [](const Posted& s) {
        auto* img = static_cast<const QZNSImageFlipped*>(
            s.n.info(GLIMRA_CameraLiveViewImage).object()->ptr);
        return img->data();
    };
    EXPECT_FALSE(bytesOf(frames.front()) == bytesOf(frames.back()));
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 2; }));
    cam->performInBackground([](GLIMRA_Camera& c) { c.liveViewEnd(); });
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLiveViewRunning(); }));

    // Leaving: gp_camera_exit on a PTP/IP camera closes descriptor 0; it is back.
    cam->unloadInBackground();
    ASSERT_TRUE(pumpUntil([&] { return !cam->isLoaded(); }));
    loop.runAlongside([] { GLIMRA_Camera::waitForBackgroundThreads(); });
    struct stat after {};
    ASSERT_EQ(fstat(0, &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_dev, before.st_dev);
    // libgphoto2 wrote its PTP/IP identity under the HOME of this test.
    EXPECT_TRUE(std::filesystem::exists(home().file(".gphoto/settings")));
    EXPECT_EQ(guard.violations(), 0);
}

TEST_F(GPhotoPtpipTest, AFailedInitLeavesNoSocketOpen) {
    // A listener that takes the connection and closes it at once: the
    // library's handshake fails half-way.
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ASSERT_EQ(bind(server, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(server, 8), 0);
    getsockname(server, reinterpret_cast<sockaddr*>(&a), &len);
    const std::string address = "127.0.0.1:" + std::to_string(ntohs(a.sin_port));
    std::atomic<bool> stop{false};
    std::thread closer([&] {
        while (!stop) {
            const int c = accept(server, nullptr, nullptr);
            if (c >= 0) close(c);
        }
    });
    GPhotoOptions options;
    options.usb = false;
    options.ptpipAddresses = {address};
    options.presenceInterval = std::chrono::hours(1);
    GPhotoCamSDK sdk(options);
    sdk.CamInitializeSDK();
    CamCameraListRef list = nullptr;
    // Listed twice: the second waits until the presence check that follows
    // the first has closed its socket.
    ASSERT_EQ(sdk.CamGetCameraList(&list), CAM_ERR_OK);
    sdk.CamRelease(list);
    ASSERT_EQ(sdk.CamGetCameraList(&list), CAM_ERR_OK);
    CamBaseRef child = nullptr;
    ASSERT_EQ(sdk.CamGetChildAtIndex(list, 0, &child), CAM_ERR_OK);
    const auto socketsBefore = GPhotoLibraryFixes::openSockets();
    EXPECT_NE(sdk.CamOpenSession(child), CAM_ERR_OK);
    EXPECT_FALSE(sdk.CamLastErrorText(child).empty());
    const auto socketsAfter = GPhotoLibraryFixes::openSockets();
    EXPECT_EQ(socketsAfter, socketsBefore);
    sdk.CamRelease(child);
    sdk.CamRelease(list);
    stop = true;
    shutdown(server, SHUT_RDWR);
    close(server);
    closer.join();
}

}  // namespace
}  // namespace klik::test
