// The camera class over the real libgphoto2 when our PTP/IP camera
// misbehaves: it answers busy (PTP 0x2019), it cuts the connection half-way
// through a download, it vanishes and comes back. Every wait is on a
// condition with a generous limit, never on time passing.

#include <gphoto2/gphoto2-result.h>

#include <algorithm>

#include "GPhotoPtpipFixture.h"
#include "camera/CamTables.h"

namespace klik::test {
namespace {

class GPhotoPtpipFaultTest : public GPhotoPtpipFixture {
  protected:
    // The camera listed for the PTP/IP address once it is no longer `gone`
    // (a camera that went away comes back as a new reference).
    GLIMRA_Camera::Ptr relistedInstead(const GLIMRA_Camera::Ptr& gone) {
        GLIMRA_Camera::Ptr found;
        pumpUntil([&] {
            auto list = GLIMRA_Camera::cameras();
            if (list && !list->empty() && list->front() != gone) found = list->front();
            return found != nullptr;
        });
        return found;
    }
    bool isStillListed(const GLIMRA_Camera::Ptr& cam) {
        auto list = GLIMRA_Camera::cameras();
        return !list || std::find(list->begin(), list->end(), cam) != list->end();
    }
};

TEST_F(GPhotoPtpipFaultTest, ABusyCameraIsReportedWithTheLibrarysWordsAndTheNextShotIsTaken) {
    START_CAMERA_OR_SKIP(faults("<key>BusyCount</key><integer>1</integer>"),
                         {"--photo", "640x480"});
    GPhotoOptions options;
    options.busyRetrySeconds = 0;  // the first busy answer is the shot's
    startLayer(options);
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));

    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraCommandError) == 1; }));
    const auto errors = all(GLIMRA_CameraCommandError);
    const Value& error = errors[0].n.info(GLIMRA_CameraCommandError);
    EXPECT_EQ(error[kCameraErrorCodeKey].integerValue(), CAM_ERR_DEVICE_BUSY);
    const std::string text = error[kCameraErrorUserInfoKey][kCameraErrorDescriptionKey].stringOr();
    EXPECT_NE(text.find(gp_result_as_string(GP_ERROR_CAMERA_BUSY)), std::string::npos) << text;
    EXPECT_EQ(count(GLIMRA_CameraPhotoDataAvailable), 0u);
    // Busy is not gone: the camera stays loaded and takes the next shot.
    EXPECT_TRUE(cam->isLoaded());
    EXPECT_EQ(count(GLIMRA_CameraDidUnload), 0u);

    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    const auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    const Data* bytes = photos[0].n.info(GLIMRA_CameraPhotoData).data();
    ASSERT_TRUE(bytes);
    const std::string name = photos[0].n.info(GLIMRA_CameraPhotoFilename).stringOr();
    EXPECT_TRUE(camera.photoOnCard(name) == std::string(bytes->begin(), bytes->end()));
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 1u);
    EXPECT_EQ(guard.violations(), 0);
}

TEST_F(GPhotoPtpipFaultTest, ABusyAnswerWithinTheRetryTimeIsAskedAgainUnseen) {
    START_CAMERA_OR_SKIP(faults("<key>BusyCount</key><integer>2</integer>"),
                         {"--photo", "640x480"});
    GPhotoOptions options;
    options.busyRetrySeconds = 60;  // far more than two answers take
    startLayer(options);
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    shoot(cam);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    EXPECT_EQ(count(GLIMRA_CameraCommandError), 0u);
    EXPECT_EQ(guard.violations(), 0);
}

TEST_F(GPhotoPtpipFaultTest, AVanishedCameraOrACutDownloadIsReportedGoneAndTheCameraListedAgain) {
    START_CAMERA_OR_SKIP(faults("<key>DropDownloadAtPercent</key><integer>50</integer>"),
                         {"--photo", "640x480"});
    startLayer();
    auto cam = listed();
    ASSERT_TRUE(cam && loaded(cam));
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), cam);

    camera.vanish();
    // Noticed by the backend's own question to an idle camera, raised as
    // the state event 0x301: unloaded and out of the list, without anyone
    // asking for it.
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == 1; }));
    EXPECT_EQ(all(GLIMRA_CameraDidUnload)[0].n.sender(), cam.get());
    EXPECT_FALSE(cam->isLoaded());
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), nullptr);  // no session is counted on
    ASSERT_TRUE(pumpUntil([&] { return !isStillListed(cam); }));
    const size_t addedBefore = count(GLIMRA_CameraAdded);

    camera.comeBack();
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraAdded) > addedBefore; }));
    auto back = relistedInstead(cam);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->description(), "PTP/IP Camera");
    ASSERT_TRUE(loaded(back));

    // Its first download is cut half-way: no photo, the failure told on main.
    shoot(back);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDownloadFailed) == 1; }));
    const auto failures = all(GLIMRA_CameraDownloadFailed);
    EXPECT_TRUE(failures[0].onMain);
    const std::string name = failures[0].n.info(GLIMRA_CameraPhotoFilename).stringOr();
    EXPECT_EQ(name.rfind("KLIK", 0), 0u) << name;
    const Value& error = failures[0].n.info(GLIMRA_CameraDownloadError);
    EXPECT_NE(error[kCameraErrorCodeKey].integerValue(), 0);
    // The cut connection is the camera gone (0x301): it leaves the list.
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraDidUnload) == 2; }));
    EXPECT_FALSE(back->isLoaded());

    // The camera still answers at its address: it is listed again and,
    // loaded, takes a photo that arrives whole.
    auto again = relistedInstead(back);
    ASSERT_TRUE(again && loaded(again));
    shoot(again);
    ASSERT_TRUE(pumpUntil([&] { return count(GLIMRA_CameraPhotoDataAvailable) == 1; }));
    const auto photos = all(GLIMRA_CameraPhotoDataAvailable);
    const Data* bytes = photos[0].n.info(GLIMRA_CameraPhotoData).data();
    ASSERT_TRUE(bytes);
    const std::string second = photos[0].n.info(GLIMRA_CameraPhotoFilename).stringOr();
    EXPECT_NE(second, name);
    EXPECT_TRUE(camera.photoOnCard(second) == std::string(bytes->begin(), bytes->end()));
    // Only ever whole photos: the cut one was never reported.
    EXPECT_EQ(count(GLIMRA_CameraDownloadFailed), 1u);
    EXPECT_EQ(guard.violations(), 0);
}

}  // namespace
}  // namespace klik::test
