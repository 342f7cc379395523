// A photo arriving from the camera, as the controller handles it: shown on
// the main thread, kept on the camera's thread, the flow moved only where
// a photo on that screen moves it.

#include <thread>

#include <sys/stat.h>
#include <unistd.h>
#include "ControllerFixture.h"

#include <filesystem>

#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"

namespace klik::test {
namespace {

Dictionary photo(Data bytes, const std::string& name = "IMG_0001.JPG") {
    return Dictionary{{kPhotoDataKey, Value(std::move(bytes))}, {kPhotoFilenameKey, Value(name)}};
}

class PhotoArrivalTest : public ControllerFixture {
  protected:
    void goToScreen(std::uint32_t target) {
        controller->startOver();
        controller->nextScreenWithLegalese();
        runTo(target);
    }
    // Posts the photo on a thread of its own, as the camera's event thread
    // does, and turns the main loop until that thread is done.
    void deliverFromCameraThread(Data bytes, const std::string& name = "IMG_0001.JPG") {
        ASSERT_TRUE(loop.runAlongside([&] {
            cameraThread = std::this_thread::get_id();
            camera.deliverPhoto(photo(std::move(bytes), name));
        }));
    }
    std::thread::id cameraThread;
};

TEST_F(PhotoArrivalTest, PhotosOnTheCaptureScreenAreShownOnTheMainThreadAndKeptOnTheCameraThread) {
    goToScreen(6);
    // A notification without data changes nothing.
    camera.deliverPhoto(Dictionary{{kPhotoFilenameKey, Value("IMG_1.JPG")}});
    camera.deliverPhoto(Dictionary{});
    EXPECT_EQ(photos.decodes, 0);
    EXPECT_EQ(photos.kept, 0);
    EXPECT_TRUE(controller->imageDict().empty());

    const auto mainThread = std::this_thread::get_id();
    std::vector<std::thread::id> drawnOn;
    controller->_EVFView.setChangeHandler(
        [&](const View&) { drawnOn.push_back(std::this_thread::get_id()); });
    controller->_progress.setDoubleValue(100);
    deliverFromCameraThread(jpegLike(), "IMG_0042.JPG");
    controller->_EVFView.setChangeHandler(nullptr);

    ASSERT_TRUE(controller->_EVFView.image());
    EXPECT_EQ(controller->_EVFView.image()->name(), "IMG_0042.JPG");
    EXPECT_EQ(controller->_EVFView.image()->width(), 4);
    ASSERT_FALSE(drawnOn.empty());
    for (auto id : drawnOn) EXPECT_EQ(id, mainThread);
    // Decoding and filing stay off the main thread.
    EXPECT_EQ(photos.kept, 1);
    EXPECT_EQ(photos.keptOn, cameraThread);
    EXPECT_NE(photos.keptOn, mainThread);
    EXPECT_EQ(findString(controller->imageDict(), kPhotoFilenameKey), "IMG_0042.JPG");
    EXPECT_EQ(photos.printed, 0);
    // The progress bar goes back to 0 a second later, on the main loop.
    EXPECT_EQ(controller->_progress.doubleValue(), 100);
    loop.advance(1.01);
    EXPECT_EQ(controller->_progress.doubleValue(), 0);
    EXPECT_EQ(screen(), 6);

    // An undecodable photo is kept but not shown: the bytes stay the
    // current photo and go on to filing all the same.
    const PicturePtr before = controller->_EVFView.image();
    Data junk{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'};
    deliverFromCameraThread(junk, "IMG_BAD.JPG");
    EXPECT_EQ(controller->_EVFView.image(), before);
    const Dictionary current = controller->imageDict();
    const Value* kept = find(current, kPhotoDataKey);
    ASSERT_TRUE(kept && kept->data());
    EXPECT_EQ(*kept->data(), junk);
    EXPECT_EQ(photos.kept, 2);
    EXPECT_EQ(screen(), 6);

    // Automatic printing runs the prompt on the main thread after filing.
    settings.setBool(key::prefKeyForAutoPrintPhoto, true);
    deliverFromCameraThread(jpegLike());
    EXPECT_EQ(photos.kept, 3);
    EXPECT_EQ(photos.printed, 1);
    EXPECT_EQ(photos.printedOn, mainThread);
}

// Through one turn: only a photo on the capture lead-in moves the flow.
TEST_F(PhotoArrivalTest, EveryPhotoIsKeptButOnlyOneOnTheCaptureLeadInMovesTheFlow) {
    goToScreen(4);  // the live countdown runs the live view: switched off first
    ASSERT_TRUE(controller->isLiveView());
    const int offs = camera.liveViewOffs;
    deliverFromCameraThread(jpegLike());
    EXPECT_FALSE(controller->isLiveView());
    EXPECT_EQ(camera.liveViewOffs, offs + 1);
    EXPECT_EQ(screen(), 4);
    EXPECT_EQ(photos.kept, 1);

    runTo(5);
    const int shots = camera.shots;
    deliverFromCameraThread(jpegLike());
    EXPECT_EQ(screen(), 6);
    EXPECT_EQ(camera.shots, shots + 1);  // screen 6 shoots again
    EXPECT_TRUE(controller->_takePhotoButton.isHidden());
    EXPECT_TRUE(controller->_startOverButton.isHidden());
    EXPECT_FALSE(controller->_keepPhotoButton.isHidden());
    EXPECT_FALSE(controller->_takePhotoAgainButton.isHidden());
    EXPECT_EQ(photos.kept, 2);

    // Late, on the review or on screen 1.
    runTo(7);
    controller->_keepPhotoButton.setHidden(true);
    deliverFromCameraThread(jpegLike());
    EXPECT_EQ(screen(), 7);
    EXPECT_TRUE(controller->_keepPhotoButton.isHidden());
    EXPECT_EQ(photos.kept, 3);
    controller->startOver();
    deliverFromCameraThread(jpegLike());
    EXPECT_EQ(screen(), 1);
    EXPECT_EQ(photos.kept, 4);
}

TEST_F(PhotoArrivalTest, WithoutAPhotoModuleNothingIsKeptAndTheFlowGoesOn) {
    controller->setPhotoPipeline(nullptr);
    goToScreen(5);
    deliverFromCameraThread(jpegLike());
    EXPECT_EQ(screen(), 6);
    EXPECT_EQ(photos.kept, 0);
}

TEST_F(PhotoArrivalTest, PhotoAfterTheControllerIsGoneIsIgnored) {
    controller.reset();
    EXPECT_EQ(camera.listener, nullptr);
    camera.deliverPhoto(photo(jpegLike()));
    EXPECT_EQ(photos.decodes, 0);
}

TEST_F(PhotoArrivalTest, SaveWritesTheCurrentPhotoUnderTmpWithAStampAndOpensIt) {
    setFixedRoot(dir.path());
    ASSERT_EQ(::mkdir(dir.file("tmp").c_str(), 0755), 0);
    const auto stamped = [&] {
        return dir.file("tmp/" + stringWithUTSFormat("yyyyMMddHHmmss", loop.now()) + ".jpg");
    };
    controller->setPhotoPipeline(nullptr);
    EXPECT_EQ(controller->saveImage(), "");  // no photo module
    controller->setPhotoPipeline(&photos);
    EXPECT_EQ(controller->saveImage(), "");  // no photo yet
    controller->setImageDict(Dictionary{{kPhotoDataKey, Value(Data{'a', 'b', 'c'})},
                                        {kPhotoFilenameKey, Value("DCIM/IMG_7.JPG")}});
    const std::string path = controller->saveImage();
    EXPECT_EQ(path, stamped());
    EXPECT_EQ(readFile(path), "abc");
    EXPECT_EQ(ui.count("open " + path), 1u);
    // A link planted at the name is replaced, not written through.
    loop.advance(1);
    const std::string next = stamped();
    ASSERT_EQ(::symlink(dir.file("victim").c_str(), next.c_str()), 0);
    EXPECT_EQ(controller->saveImage(), next);
    EXPECT_FALSE(std::filesystem::exists(dir.file("victim")));
    EXPECT_EQ(readFile(next), "abc");
    setFixedRoot("");
}

}  // namespace
}  // namespace klik::test
