// Sessions started by the kiosk web page, and each way such a start is
// refused.

#include <filesystem>

#include "ControllerFixture.h"
#include "video/MovieNames.h"

namespace klik::test {
namespace {

class WebStartTest : public ControllerFixture {
  protected:
    WebStartTest() : errors(watch(kNotifictionPhotoSessionError)) {
        controller->startOver();
        ui.clear();
    }
    void videoWithOverlayMovies() {
        useVideo();
        settings.setBool(key::prefDoOverlayMovie, true);
        settings.setString(key::prefOverlayMoviesPath, dir.file("movies"));
        std::filesystem::create_directories(dir.file("movies"));
    }
    // The one error posted, after the main loop delivered it.
    const Notification& onlyError() {
        loop.runPending();
        EXPECT_EQ(errors.size(), 1u);
        static const Notification none;
        return errors.empty() ? none : errors.front();
    }
    std::vector<Notification>& errors;
};

TEST_F(WebStartTest, ACameraSessionStartsAtScreen3WithTheGuestsAddressAndSittingId) {
    web.info = Dictionary{{"email", "guest@example.com"}, {"sittingid", "S-42"}};
    controller->startPhotoSession();
    EXPECT_EQ(screen(), 3u);
    EXPECT_EQ(ui.screens, (std::vector<std::uint32_t>{3}));
    EXPECT_EQ(controller->emails(), (std::vector<std::string>{"guest@example.com"}));
    // The sitting id names the photo in place of a barcode.
    EXPECT_EQ(controller->barcodeValue(), "S-42");
    EXPECT_EQ(web.orderOuts, 1);
    loop.runPending();
    EXPECT_TRUE(errors.empty());

    // The start notification starts it too; no sitting id, no name.
    controller->startOver();
    web.info = Dictionary{{"email", "guest@example.com"}};
    center.post(kNotifictionStartPhotoSession);
    EXPECT_EQ(screen(), 3u);
    EXPECT_EQ(controller->barcodeValue(), "");
}

TEST_F(WebStartTest, NoAddressOrOneThatFailsTheCheckIsRefusedWithoutUserInfo) {
    const auto withAddress = [](const std::string& email) {
        return Dictionary{{"email", email}, {"sittingid", "7"}};
    };
    for (const std::optional<Dictionary>& info :
         {std::optional<Dictionary>(Dictionary{{"sittingid", "7"}}), std::optional<Dictionary>(),
          std::optional(withAddress("not an address")),
          std::optional(withAddress("guest+tag@example.com")),
          std::optional(withAddress(std::string(250, 'a') + "@example.com")),
          std::optional(withAddress(""))}) {
        const std::string what = info ? Value(*info).description() : "no user info";
        errors.clear();
        web.info = info;
        controller->startPhotoSession();
        EXPECT_EQ(screen(), 1u) << what;
        EXPECT_TRUE(errors.empty()) << what;  // posted through the main loop
        const Notification& n = onlyError();
        EXPECT_FALSE(n.userInfo.has_value()) << what;
        EXPECT_EQ(n.sender(), controller.get()) << what;
        EXPECT_TRUE(controller->emails().empty()) << what;
        EXPECT_EQ(web.orderOuts, 0) << what;
    }
}

TEST_F(WebStartTest,
       NoCameraIsRefusedUnlessItIsVideoWithoutOverlayMoviesAndAClipInTheMakingIsRefused) {
    camera.connected = false;
    web.info = Dictionary{{"email", "guest@example.com"}};
    controller->startPhotoSession();
    EXPECT_EQ(screen(), 1u);
    EXPECT_FALSE(onlyError().userInfo.has_value());
    EXPECT_EQ(web.orderOuts, 0);
    // The address was taken before the refusal.
    EXPECT_EQ(controller->emails(), (std::vector<std::string>{"guest@example.com"}));
    // Video without overlay movies needs no camera.
    useVideo();
    controller->startPhotoSession();
    EXPECT_EQ(screen(), 3u);

    // A clip still being composed is refused with its message.
    controller->startOver();
    errors.clear();
    {
        VideoProcessingScope composing;
        controller->startPhotoSession();
    }
    EXPECT_EQ(screen(), 1u);
    const Notification& n = onlyError();
    ASSERT_TRUE(n.userInfo.has_value());
    EXPECT_EQ(n.info("msg"), Value("Still Processing Previous Video..."));
}

TEST_F(WebStartTest, AMissingMovieOrVideoEntryOrANameOutsideTheMoviesFolderIsRefused) {
    videoWithOverlayMovies();
    writeFile(dir.file("movies/clip1.mov"), "movie");            // no prompt companion
    writeFile(dir.file("movies/clip2WithPrompt.mov"), "movie");  // no overlay movie
    writeFile(dir.file("outside.mov"), "movie");
    writeFile(dir.file("outsideWithPrompt.mov"), "movie");
    for (const char* video : {"clip1", "clip2", "", "../outside"}) {
        errors.clear();
        web.info = Dictionary{{"email", "guest@example.com"}};
        if (*video) web.info->emplace("video", video);
        controller->startPhotoSession();
        EXPECT_EQ(screen(), 1u) << video;
        EXPECT_EQ(onlyError().info("msg"), Value("Missing Matching TelePrompt Video File..."))
            << video;
        EXPECT_FALSE(settings.stringForKey(key::prefMoviePath).has_value()) << video;
    }
}

// Whatever the page names, the prompt movie stored leads the composition
// back to the overlay movie the start found, dots in the name or not.
TEST_F(WebStartTest, ThePromptMovieStoredLeadsBackToTheOverlayMovieFound) {
    videoWithOverlayMovies();
    writeFile(dir.file("movies/Wave.mov"), "movie");
    writeFile(dir.file("movies/WaveWithPrompt.mov"), "movie");
    writeFile(dir.file("movies/Sea.v2.mov"), "movie");
    writeFile(dir.file("movies/Sea.v2WithPrompt.m4v"), "movie");
    writeFile(dir.file("movies/clip1.m4v"), "movie");
    writeFile(dir.file("movies/clip1WithPrompt.mp4"), "movie");
    struct Case {
        const char* video;
        const char* overlay;
        const char* prompt;
    };
    // The name with or without its extension finds the same pair.
    for (const Case& c : {Case{"clip1", "clip1.m4v", "clip1WithPrompt.mp4"},
                          Case{"clip1.m4v", "clip1.m4v", "clip1WithPrompt.mp4"},
                          Case{"clip1.mov", "clip1.m4v", "clip1WithPrompt.mp4"},
                          Case{"Wave.v2", "Wave.mov", "WaveWithPrompt.mov"},
                          Case{"Sea.v2.mov", "Sea.v2.mov", "Sea.v2WithPrompt.m4v"}}) {
        controller->startOver();
        settings.removeObject(key::prefMoviePath);
        web.info = Dictionary{{"email", "guest@example.com"}, {"video", c.video}};
        controller->startPhotoSession();
        EXPECT_EQ(screen(), 3u) << c.video;
        EXPECT_EQ(settings.stringForKey(key::prefMoviePath),
                  dir.file(std::string("movies/") + c.prompt))
            << c.video;
        EXPECT_EQ(getOverlayFileName(settings), dir.file(std::string("movies/") + c.overlay))
            << c.video;
    }
    loop.runPending();
    EXPECT_TRUE(errors.empty());

    // "Sea.v2" drops its extension like any name: no "Sea" pair, refused.
    controller->startOver();
    web.info = Dictionary{{"email", "guest@example.com"}, {"video", "Sea.v2"}};
    controller->startPhotoSession();
    EXPECT_EQ(onlyError().info("msg"), Value("Missing Matching TelePrompt Video File..."));
    EXPECT_EQ(screen(), 1u);
}

}  // namespace
}  // namespace klik::test
