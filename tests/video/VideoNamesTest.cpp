// Names around a recording, the recording clock, the compression setting,
// the insertion time and the still's overlay compositing.

#include <gtest/gtest.h>

#include <filesystem>
#include "support/TempDir.h"

#include "video/MovieNames.h"
#include "video/MovieViewSupport.h"
#include "video/RecordingClock.h"
#include "video/VideoComposition.h"

namespace klik {
namespace {

TEST(MovieNames, MovieWithBaseNameTriesMovM4vMp4NeverThePathItselfExportAndStillBesideIt) {
    test::TempDir dir;
    test::writeFile(dir.file("clip.m4v"), "m");
    EXPECT_EQ(getMovieWithBaseName(dir.file("clip.mov")).value_or(""), dir.file("clip.m4v"));
    test::writeFile(dir.file("clip.mp4"), "m");
    EXPECT_EQ(getMovieWithBaseName(dir.file("clip.mp4")).value_or(""), dir.file("clip.m4v"));
    test::writeFile(dir.file("clip.mov"), "m");
    EXPECT_EQ(getMovieWithBaseName(dir.file("clip.mp4")).value_or(""), dir.file("clip.mov"));
    test::writeFile(dir.file("only.avi"), "m");
    EXPECT_FALSE(getMovieWithBaseName(dir.file("only.avi")));
    EXPECT_FALSE(getMovieWithBaseName(""));
    // The export and the still sit beside the recording.
    EXPECT_EQ(muxedMoviePathFor("/s/2011.mov"), "/s/2011_muxed.mov");
    EXPECT_EQ(stillPathFor("/s/2011.mov"), "/s/2011.jpg");
}

TEST(MovieNames, OverlayIsThePromptMoviesNameCutAtWithPrompt) {
    test::TempDir dir;
    Settings s(dir.file("s.plist"));
    EXPECT_FALSE(getOverlayFileName(s));
    s.setString("prefMoviePath", dir.file("Wave.v2WithPromptLong.mov"));
    EXPECT_EQ(overlayBasePathForPromptMovie(*s.stringForKey("prefMoviePath")), dir.file("Wave.v2"));
    EXPECT_FALSE(getOverlayFileName(s));
    test::writeFile(dir.file("Wave.v2.mp4"), "m");
    EXPECT_EQ(getOverlayFileName(s).value_or(""), dir.file("Wave.v2.mp4"));
    test::writeFile(dir.file("Wave.v2.mov"), "m");
    EXPECT_EQ(getOverlayFileName(s).value_or(""), dir.file("Wave.v2.mov"));
}

TEST(MovieNames, CompressionTagPicksTheSizeRepairsOtherValuesAndInsertionTimeIsAtLeastOne) {
    test::TempDir dir;
    Settings s(dir.file("s.plist"));
    s.setInteger("prefQTVideoCompressionTag", 2);
    EXPECT_EQ(recordingSizeForCompressionTag(s).width, 640);
    EXPECT_EQ(recordingSizeForCompressionTag(s).height, 480);
    s.setInteger("prefQTVideoCompressionTag", 7);
    const RecordingSize small = recordingSizeForCompressionTag(s);
    EXPECT_EQ(small.width, 320);
    EXPECT_EQ(small.height, 240);
    EXPECT_EQ(s.integerForKey("prefQTVideoCompressionTag"), 1);
    // An insertion time below one is one.
    EXPECT_DOUBLE_EQ(readOverlayInsertionTime(s), 1);
    s.setDouble("prefInsertVideoTrackTime1", 0.5);
    EXPECT_DOUBLE_EQ(readOverlayInsertionTime(s), 1);
    s.setDouble("prefInsertVideoTrackTime1", 2.5);
    EXPECT_DOUBLE_EQ(readOverlayInsertionTime(s), 2.5);
}

TEST(RecordingClock, CountsDownAndStopsAtZeroTheStillsOverlayAndFittedSizes) {
    EXPECT_EQ(recordingClockText(0, 15), "00:15.0");
    EXPECT_EQ(recordingClockText(2.25, 15), "00:12.8");
    EXPECT_EQ(recordingClockText(0, 120), "02:00.0");
    EXPECT_EQ(recordingClockText(30.5, 120), "01:29.5");
    EXPECT_EQ(recordingClockText(16, 15), "00:00.0");
    // The still's overlay: source-over, anchored at the bottom left.
    Bitmap frame = Bitmap::rgba(4, 4, 0, 0, 255);
    Bitmap overlay = Bitmap::rgba(2, 2, 255, 0, 0, 255);
    overlay.pixel(1, 0)[3] = 0;  // transparent
    compositeOverlayOnto(frame, overlay);
    EXPECT_EQ(frame.pixel(0, 0)[2], 255);  // top rows untouched
    EXPECT_EQ(frame.pixel(0, 2)[0], 255);  // overlay's top row lands on row 2
    EXPECT_EQ(frame.pixel(1, 2)[2], 255);  // transparent: the frame shows
    EXPECT_EQ(frame.pixel(0, 3)[0], 255);
    EXPECT_EQ(frame.pixel(2, 3)[2], 255);
    // A size fits keeping the aspect ratio.
    auto s = constrainNSSize({1920, 1080}, {1280, 1024});
    EXPECT_FLOAT_EQ(s.width, 1280);
    EXPECT_FLOAT_EQ(s.height, 720);
    s = constrainNSSize({1000, 2000}, {1280, 1024});
    EXPECT_FLOAT_EQ(s.width, 512);
    EXPECT_FLOAT_EQ(s.height, 1024);
    // Width first, then the height still too tall.
    s = constrainNSSize({2000, 1800}, {1000, 500});
    EXPECT_FLOAT_EQ(s.height, 500);
    EXPECT_NEAR(s.width, 555.6, 0.1);
    s = constrainNSSize({640, 480}, {1280, 1024});
    EXPECT_FLOAT_EQ(s.width, 640);
    EXPECT_FLOAT_EQ(s.height, 480);
}

TEST(MovieView, PromptMoviePathIsKeptWhenItsFileIsThereOrNoAliasResolves) {
    test::TempDir dir;
    Settings s(dir.file("s.plist"));
    EXPECT_FALSE(repairedMoviePath(s));
    s.setString("prefMoviePath", "");
    EXPECT_FALSE(repairedMoviePath(s));
    test::writeFile(dir.file("a/PromptWithPrompt.mov"), "movie");
    s.setString("prefMoviePath", dir.file("a/PromptWithPrompt.mov"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("a/PromptWithPrompt.mov"));
    // Gone, with alias data that names nothing: the path stays as it was
    // (the view then finds no movie and stays hidden).
    s.setObject("prefMoviePathAliasData", Value(Data{1, 2, 3}));
    std::filesystem::remove_all(dir.file("a"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("a/PromptWithPrompt.mov"));
    EXPECT_EQ(s.stringForKey("prefMoviePath").value_or(""), dir.file("a/PromptWithPrompt.mov"));
}

// The movie keeps a reference of its own once found; a renamed or moved
// movie is found through it and the setting repaired; a reference made for
// another movie never stands in for the one named.
TEST(MovieView, AMovedPromptMovieIsFoundThroughItsReference) {
    test::TempDir dir;
    Settings s(dir.file("s.plist"));
    std::filesystem::create_directories(dir.file("Movies"));
    test::writeFile(dir.file("Movies/WaveWithPrompt.mov"), "wave");
    test::writeFile(dir.file("Movies/SurfWithPrompt.mov"), "surf!");
    s.setString("prefMoviePath", dir.file("Movies/WaveWithPrompt.mov"));
    EXPECT_FALSE(s.dataForKey("prefMoviePathAliasData"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("Movies/WaveWithPrompt.mov"));
    ASSERT_TRUE(s.dataForKey("prefMoviePathAliasData"));

    // Renamed, then its folder renamed too.
    std::filesystem::rename(dir.file("Movies/WaveWithPrompt.mov"),
                            dir.file("Movies/Wave-2WithPrompt.mov"));
    std::filesystem::rename(dir.file("Movies"), dir.file("Prompts"));
    const std::string moved =
        std::filesystem::weakly_canonical(dir.file("Prompts/Wave-2WithPrompt.mov")).string();
    EXPECT_EQ(repairedMoviePath(s).value_or(""), moved);
    EXPECT_EQ(s.stringForKey("prefMoviePath").value_or(""), moved);
    // The next look needs no search and changes nothing.
    const auto reference = s.dataForKey("prefMoviePathAliasData");
    EXPECT_EQ(repairedMoviePath(s).value_or(""), moved);
    EXPECT_EQ(s.dataForKey("prefMoviePathAliasData"), reference);

    // The web start names another movie, which is missing: the old
    // reference is not used for it.
    s.setString("prefMoviePath", dir.file("Prompts/GoneWithPrompt.mov"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("Prompts/GoneWithPrompt.mov"));
    EXPECT_EQ(s.stringForKey("prefMoviePath").value_or(""), dir.file("Prompts/GoneWithPrompt.mov"));

    // A movie that is named and there gets its own reference.
    s.setString("prefMoviePath", dir.file("Prompts/SurfWithPrompt.mov"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("Prompts/SurfWithPrompt.mov"));
    std::filesystem::remove(dir.file("Prompts/SurfWithPrompt.mov"));
    EXPECT_EQ(repairedMoviePath(s).value_or(""), dir.file("Prompts/SurfWithPrompt.mov"));
}

}  // namespace
}  // namespace klik
