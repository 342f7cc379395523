// The guest's animated loop: live-view frames kept within a bound, cut to
// the centred square at the operator's size, played forward and back, and
// read back as the files a phone gets: the MP4 by GStreamer, the GIF by
// giflib.
#include "video/GuestLoop.h"

#include <gif_lib.h>
#include <gst/app/gstappsink.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "imaging/ImageCodec.h"
#include "support/TempDir.h"
#include "video/GstSupport.h"
#include "video/GuestLoopMaker.h"
#include "video/LoopFrames.h"

namespace klik {
namespace {

// A 640 x 480 live-view frame: grey, with a red 40 x 40 block whose left
// edge moves 10 pixels a frame from x = 120.
std::shared_ptr<const Data> movingBlockFrame(int k) {
    Bitmap bm = Bitmap::rgba(640, 480, 90, 90, 90);
    for (int y = 220; y < 260; ++y)
        for (int x = 120 + 10 * k; x < 160 + 10 * k; ++x) {
            auto* p = bm.pixel(x, y);
            p[0] = 230;
            p[1] = p[2] = 20;
        }
    auto jpeg = encodeJpegFromRGBA(bm, 90);
    return jpeg ? std::make_shared<const Data>(*jpeg) : nullptr;
}

std::vector<std::shared_ptr<const Data>> frames(int n) {
    std::vector<std::shared_ptr<const Data>> v;
    for (int k = 0; k < n; ++k) v.push_back(movingBlockFrame(k));
    return v;
}

// The MP4's frames as GStreamer decodes them: how many, and their size.
struct MovieFacts {
    int frames = 0, width = 0, height = 0;
};
MovieFacts readMovie(const std::string& path) {
    MovieFacts f;
    std::string error;
    EXPECT_TRUE(ensureGStreamer(&error)) << error;
    GError* e = nullptr;
    GstRef<GstElement> p(gst_parse_launch(("filesrc location=\"" + path +
                                           "\" ! qtdemux ! h264parse ! avdec_h264 ! "
                                           "videoconvert ! appsink name=sink sync=false")
                                              .c_str(),
                                          &e));
    if (e) {
        ADD_FAILURE() << e->message;
        g_error_free(e);
        return f;
    }
    GstRef<GstElement> sink(gst_bin_get_by_name(GST_BIN(p.get()), "sink"));
    gst_element_set_state(p.get(), GST_STATE_PLAYING);
    while (GstSample* s = gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 10 * GST_SECOND)) {
        ++f.frames;
        if (GstCaps* caps = gst_sample_get_caps(s)) {
            const GstStructure* st = gst_caps_get_structure(caps, 0);
            gst_structure_get_int(st, "width", &f.width);
            gst_structure_get_int(st, "height", &f.height);
        }
        gst_sample_unref(s);
    }
    gst_element_set_state(p.get(), GST_STATE_NULL);
    return f;
}

TEST(GuestLoop, FramesAreBoundedSquaredPlayedBackAndForthAndReadBackFromTheMovieAndGif) {
    std::string error;
    auto pictures = loopPictures(frames(5), 96, &error);
    ASSERT_EQ(pictures.size(), 5u) << error;
    EXPECT_EQ(pictures[0].width, 96);
    EXPECT_EQ(pictures[0].height, 96);
    // The square is x 80..560 of the frame: the block's left edge at 120
    // lands at (120 - 80) / 480 * 96 = 8, its middle at row 48.
    auto redAt = [](const Bitmap& bm, int x) { return bm.pixel(x, 48)[0]; };
    EXPECT_GT(redAt(pictures[0], 12), 180);
    EXPECT_LT(redAt(pictures[0], 4), 130);
    EXPECT_GT(redAt(pictures[4], 20), 180) << "the block moved 40 pixels, 8 in the loop";

    auto loop = pingPong(pictures);
    ASSERT_EQ(loop.size(), 8u);
    EXPECT_EQ(loop[5].pixels, pictures[3].pixels);
    EXPECT_EQ(loop[7].pixels, pictures[1].pixels);
    EXPECT_EQ(pingPong({pictures[0], pictures[1]}).size(), 2u);

    EXPECT_TRUE(loopPictures(frames(2), 95, &error).empty());
    EXPECT_NE(error.find("even"), std::string::npos) << error;
    EXPECT_TRUE(loopPictures({}, 96, &error).empty());

    // Kept frames stay within their bound, oldest first out.
    LoopFrames kept(4);
    auto all = frames(6);
    for (const auto& f : all) kept.add(f);
    kept.add(nullptr);
    kept.add(std::make_shared<const Data>());
    ASSERT_EQ(kept.size(), 4u);
    EXPECT_EQ(kept.frames().front(), all[2]) << "the two oldest went";
    EXPECT_EQ(kept.frames().back(), all[5]);
    kept.clear();
    EXPECT_EQ(kept.size(), 0u);
    // The movie and the GIF read back with every frame at the size.
    test::TempDir dir;
    LoopOptions options;
    options.size = 120;
    const LoopFiles files = makeGuestLoop(frames(12), dir.file("GUEST_loop"), options);
    ASSERT_EQ(files.error, "");
    ASSERT_EQ(files.mp4, dir.file("GUEST_loop.mp4"));
    ASSERT_EQ(files.gif, dir.file("GUEST_loop.gif"));

    const MovieFacts movie = readMovie(files.mp4);
    EXPECT_EQ(movie.frames, 22) << "12 forward, 10 back";
    EXPECT_EQ(movie.width, 120);
    EXPECT_EQ(movie.height, 120);

    int err = 0;
    GifFileType* gif = DGifOpenFileName(files.gif.c_str(), &err);
    ASSERT_NE(gif, nullptr) << GifErrorString(err);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK) << GifErrorString(gif->Error);
    EXPECT_EQ(gif->ImageCount, 22);
    EXPECT_EQ(gif->SWidth, 120);
    EXPECT_EQ(gif->SHeight, 120);
    GraphicsControlBlock gcb{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 0, &gcb), GIF_OK);
    EXPECT_EQ(gcb.DelayTime, 8) << "12 frames a second";
    // The block (x 10..19, y 55..64 at this size) is red in the GIF's palette too.
    const SavedImage& first = gif->SavedImages[0];
    const ColorMapObject* map = gif->SColorMap;
    ASSERT_NE(map, nullptr);
    const GifColorType c = map->Colors[first.RasterBits[60 * 120 + 15]];
    EXPECT_GT(c.Red, 180);
    EXPECT_LT(c.Green, 80);
    DGifCloseFile(gif, &err);

    // Frames that are not pictures give a clear error and no files.
    const LoopFiles bad = makeGuestLoop({std::make_shared<const Data>(Data{'n', 'o', 't'})},
                                        dir.file("bad"), LoopOptions{});
    EXPECT_EQ(bad.mp4, "");
    EXPECT_EQ(bad.gif, "");
    EXPECT_NE(bad.error.find("could be decoded"), std::string::npos) << bad.error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.mp4")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("bad.gif")));
}

TEST(GuestLoop, TheKiosksMakerFilesTheLoopBesideThePhotoAndItsUploadCopyInOrder) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("day"));
    std::filesystem::create_directories(dir.file("up"));
    std::mutex m;
    std::vector<GuestLoopMaker::Outcome> outcomes;
    {
        GuestLoopMaker maker(
            [&](const GuestLoopMaker::Outcome& o) {
                std::lock_guard l(m);
                outcomes.push_back(o);
            },
            8);
        // More frames than the bound: the last eight are kept.
        for (int k = 0; k < 12; ++k) maker.keepFrame(*movingBlockFrame(k));
        EXPECT_EQ(maker.framesKept(), 8u);
        maker.makeLoop({dir.file("day/GUEST-1_001.jpg"), dir.file("up/GUEST-1_001.jpg")}, 96);
        // The next turn's frames start afresh; a turn without frames makes
        // no loop, and a loop with no upload copy stays in its folder.
        EXPECT_EQ(maker.framesKept(), 0u);
        maker.makeLoop({dir.file("day/GUEST-2_001.jpg"), dir.file("up/GUEST-2_001.jpg")}, 96);
        for (int k = 0; k < 3; ++k) maker.keepFrame(*movingBlockFrame(k));
        maker.makeLoop({dir.file("day/GUEST-3_001.jpg"), ""}, 64);
        // Leaving finishes what was asked for.
    }
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_EQ(outcomes[0].filed.mp4, dir.file("day/GUEST-1_001.mp4"));
    EXPECT_EQ(outcomes[0].filed.gif, dir.file("day/GUEST-1_001.gif"));
    EXPECT_EQ(outcomes[0].uploaded.mp4, dir.file("up/GUEST-1_001.mp4"));
    EXPECT_EQ(outcomes[0].uploaded.gif, dir.file("up/GUEST-1_001.gif"));
    EXPECT_EQ(readMovie(dir.file("up/GUEST-1_001.mp4")).frames, 14) << "8 forward, 6 back";
    EXPECT_EQ(outcomes[1].filed.gif, dir.file("day/GUEST-3_001.gif"));
    EXPECT_EQ(outcomes[1].uploaded.gif, "");
    EXPECT_FALSE(std::filesystem::exists(dir.file("day/GUEST-2_001.mp4")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("up/GUEST-3_001.gif")));
}

}  // namespace
}  // namespace klik
