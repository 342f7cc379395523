// The real klik-kiosk program, offscreen on a 1920 x 1080 screen, playing
// one scripted guest: it must file the photo, make its upload copy, print a
// PDF, quit cleanly and leave screenshots in which the camera's live frame
// fills the window of the live frame artwork.

#include <gtest/gtest.h>

#ifdef KLIK_KIOSK_PATH

#include <QColor>
#include <QImage>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ResourceArtwork.h"
#include "photo/AlphaFrameArtwork.h"
#include "support/KioskRun.h"
#include "support/TempDir.h"

namespace klik::test {
namespace {

namespace fs = std::filesystem;

bool isBackgroundGrey(QRgb c) {
    return std::abs(qRed(c) - 64) < 6 && std::abs(qGreen(c) - 64) < 6 &&
           std::abs(qBlue(c) - 64) < 6;
}

// The share of pixels of the live side's window (inset by a tenth) that
// show the empty window's grey.
double greyShareInWindow(const QImage& sheet, const Rect& window) {
    const int liveLeft = sheet.width() - 1920;
    const double insetX = window.width / 10, insetY = window.height / 10;
    int grey = 0, all = 0;
    for (double y = window.y + insetY; y < window.y + window.height - insetY; y += 7)
        for (double x = window.x + insetX; x < window.x + window.width - insetX; x += 7) {
            ++all;
            if (isBackgroundGrey(sheet.pixel(liveLeft + static_cast<int>(x), static_cast<int>(y))))
                ++grey;
        }
    return all ? static_cast<double>(grey) / all : 1;
}

TEST(ScriptedKioskSession, OneGuestIsPhotographedFiledPrintedAndShownInsideTheFrame) {
    TempDir dir;
    const std::string root = dir.file("root"), shots = dir.file("shots");
    std::string output;
    ASSERT_EQ(
        runKioskToEnd(dir, {"--root", root, "--sim", "--scripted", "1", "--screenshots", shots},
                      &output),
        0)
        << output;
    EXPECT_NE(output.find("1 of 1 scripted guests done."), std::string::npos) << output;

    const auto photos = filesUnder(root + "/KlikKioskMainImagesFolder", ".jpg");
    ASSERT_EQ(photos.size(), 1u) << output;
    EXPECT_NE(fs::path(photos[0]).filename().string().find("GUEST-001"), std::string::npos);
    EXPECT_EQ(filesUnder(root + "/KlikKioskUploadFolder", ".jpg").size(), 1u);
    const auto pdfs = filesUnder(root + "/Prints", ".pdf");
    ASSERT_EQ(pdfs.size(), 1u) << output;
    EXPECT_GT(fs::file_size(pdfs[0]), 10000u);
    EXPECT_FALSE(filesUnder(root + "/Library/Logs/Klik", ".log").empty());
    // Its settings lie under its root; the operator's own were never touched.
    EXPECT_TRUE(fs::exists(root + "/config/klik/Klik_Kiosk.plist"));
    EXPECT_FALSE(fs::exists(dir.file("config/klik/Klik_Kiosk.plist")));

    // The operator opened the preferences once by their shortcut and closed
    // them; the screenshot shows the window.
    EXPECT_NE(output.find("operator presses Ctrl+, (preferences)"), std::string::npos) << output;
    EXPECT_NE(output.find("operator closes the preferences"), std::string::npos) << output;
    std::string prefsShot;
    for (auto& p : filesUnder(shots, ".png"))
        if (p.find("-preferences.png") != std::string::npos) prefsShot = p;
    ASSERT_FALSE(prefsShot.empty()) << output;
    EXPECT_GT(QImage(QString::fromStdString(prefsShot)).width(), 300);

    // Screenshots: the launch, then each screen of the turn in order.
    const auto pngs = filesUnder(shots, ".png");
    std::vector<std::string> names;
    for (auto& p : pngs) names.push_back(fs::path(p).filename().string());
    ASSERT_GE(names.size(), 8u);
    EXPECT_EQ(names[0], "001-launch.png");
    for (int s = 1; s <= 7; ++s)
        EXPECT_NE(std::find_if(names.begin(), names.end(),
                               [s](const std::string& n) {
                                   return n.find("-screen" + std::to_string(s) + ".png") !=
                                          std::string::npos;
                               }),
                  names.end())
            << "no screenshot of screen " << s;

    // Where the live frame must be: the artwork's window, scaled to the
    // live side's width.
    ResourceArtwork resources(KLIK_SOURCE_DIR "/resources");
    AlphaFrameArtwork artwork(resources);
    const auto ref = artwork.liveVideoReferenceWindow();
    ASSERT_TRUE(ref);
    const double scale = 1920.0 / ref->referenceWidth;
    const Rect window{ref->window.x * scale, ref->window.y * scale, ref->window.width * scale,
                      ref->window.height * scale};

    // Before live view the window shows nothing behind it; on the live
    // countdown (screen 4) the camera's frame fills it.
    QImage launch(QString::fromStdString(pngs[0]));
    std::string screen4;
    for (auto& p : pngs)
        if (p.find("-screen4.png") != std::string::npos) screen4 = p;
    QImage live(QString::fromStdString(screen4));
    ASSERT_FALSE(launch.isNull());
    ASSERT_FALSE(live.isNull());
    ASSERT_EQ(live.width(), 1920 + 16 + 1920);
    EXPECT_GT(greyShareInWindow(launch, window), 0.9);
    EXPECT_LT(greyShareInWindow(live, window), 0.05);
}

// A guest of four shots on the simulated camera: four photos and the print
// picture filed, each of the frame's four windows holding its own shot (by
// colour, against the other shots), and the loop's movie and GIF beside it.
QColor meanColour(const QImage& img, const QRect& r) {
    double red = 0, green = 0, blue = 0;
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); y += 3)
        for (int x = r.left(); x <= r.right(); x += 3) {
            const QRgb c = img.pixel(x, y);
            red += qRed(c);
            green += qGreen(c);
            blue += qBlue(c);
            ++n;
        }
    return n ? QColor(static_cast<int>(red / n), static_cast<int>(green / n),
                      static_cast<int>(blue / n))
             : QColor();
}

int colourDistance(const QColor& a, const QColor& b) {
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
           std::abs(a.blue() - b.blue());
}

TEST(ScriptedKioskSession, AGuestOfFourShotsGetsTheirPrintPictureAndALoop) {
    TempDir dir;
    const std::string root = dir.file("root");
    std::string output;
    ASSERT_EQ(runKioskToEnd(
                  dir, {"--root", root, "--sim", "--scripted", "1", "--scripted-last-shots", "4"},
                  &output),
              0)
        << output;
    EXPECT_NE(output.find("4 shots, laid into the print frame"), std::string::npos) << output;
    const auto photos = filesUnder(root + "/KlikKioskMainImagesFolder", ".jpg");
    ASSERT_EQ(photos.size(), 5u) << output;  // four shots and the print picture, in order
    EXPECT_EQ(filesUnder(root + "/KlikKioskMainImagesFolder", ".mp4").size(), 1u) << output;
    EXPECT_EQ(filesUnder(root + "/KlikKioskMainImagesFolder", ".gif").size(), 1u) << output;
    EXPECT_EQ(filesUnder(root + "/KlikKioskUploadFolder", ".gif").size(), 1u) << output;
    EXPECT_EQ(filesUnder(root + "/Prints", ".pdf").size(), 1u) << "only the print picture";

    const QImage composite(QString::fromStdString(photos[4]));
    ASSERT_EQ(composite.width(), 1200);
    // The frame drawn for four shots: two by two, 479 pixels each, from
    // (100, 100) with a 41-pixel gutter.
    const QRect windows[4] = {
        {130, 130, 420, 420}, {650, 130, 420, 420}, {130, 650, 420, 420}, {650, 650, 420, 420}};
    QColor shots[4];
    for (int i = 0; i < 4; ++i) {
        const QImage shot(QString::fromStdString(photos[i]));
        ASSERT_FALSE(shot.isNull());
        const int inset = shot.width() / 16;
        shots[i] = meanColour(shot, shot.rect().adjusted(inset, inset, -inset, -inset));
    }
    for (int i = 0; i < 4; ++i) {
        const QColor inWindow = meanColour(composite, windows[i]);
        for (int j = 0; j < 4; ++j) {
            if (j == i) continue;
            EXPECT_LT(colourDistance(inWindow, shots[i]), colourDistance(inWindow, shots[j]))
                << "window " << i + 1 << " looks more like shot " << j + 1;
        }
    }
}

// One video guest on the simulated video camera: the turn ends when the
// recording does (the review, then screen 1), the guest is counted done, and
// the recording, the exported movie and the still are filed with the guest's
// barcode in the still's payload.
TEST(ScriptedKioskSession, OneVideoGuestIsRecordedComposedAndFiled) {
    TempDir dir;
    const std::string root = dir.file("root");
    std::string output;
    ASSERT_EQ(runKioskToEnd(dir, {"--root", root, "--sim", "--video", "--scripted", "1"}, &output),
              0)
        << output;
    EXPECT_NE(output.find("guest 1 is done"), std::string::npos) << output;
    EXPECT_NE(output.find("1 of 1 scripted guests done."), std::string::npos) << output;
    EXPECT_EQ(output.find("photographer starts over"), std::string::npos) << output;

    // The recording and its export, filed together.
    const auto movies = filesUnder(root + "/KlikKioskMainImagesFolder", ".mov");
    ASSERT_EQ(movies.size(), 2u) << output;
    std::string muxed;
    for (const auto& m : movies)
        if (m.find("_muxed.mov") != std::string::npos) muxed = fs::path(m).filename().string();
    ASSERT_FALSE(muxed.empty()) << output;
    const auto uploads = filesUnder(root + "/KlikKioskUploadFolder", ".mov");
    ASSERT_EQ(uploads.size(), 1u) << output;
    EXPECT_EQ(fs::path(uploads[0]).filename().string(), muxed);
    // The still's payload names the exported movie.
    const auto stills = filesUnder(root + "/KlikKioskUploadFolder", ".jpg");
    ASSERT_EQ(stills.size(), 1u) << output;
    EXPECT_NE(readFile(stills[0]).find(muxed), std::string::npos);
}

TEST(ScriptedKioskSession, BadCommandLinesAndScriptedRunsWithoutARootAreRefused) {
    TempDir dir;
    std::string output;
    EXPECT_EQ(runKioskToEnd(dir, {"--scripted", "0"}, &output), 2);
    EXPECT_EQ(runKioskToEnd(dir, {"--frobnicate"}, &output), 2);
    EXPECT_EQ(runKioskToEnd(dir, {"--help"}, &output), 0);
    EXPECT_NE(output.find("usage: klik-kiosk"), std::string::npos);
    // A scripted run without a root would use the operator's settings.
    EXPECT_EQ(runKioskToEnd(dir, {"--sim", "--scripted", "1"}, &output), 2);
    EXPECT_FALSE(fs::exists(dir.file("config/klik"))) << "the operator's settings were touched";
}

}  // namespace
}  // namespace klik::test

#endif
