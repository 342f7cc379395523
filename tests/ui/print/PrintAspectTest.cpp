// The printed photo keeps its shape: the kept photo is its centred square,
// and the print fills the frame's window with it without squashing it.
// Checked on the PDF the print produces, rendered with pdftoppm.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QImage>
#include <QProcess>
#include <cmath>

#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"
#include "imaging/ImageCodec.h"
#include "imaging/JpegSquare.h"
#include "photo/PrintComposite.h"
#include "photo/PrintFlow.h"
#include "support/TempDir.h"
#include "ui/print/QtPrintPort.h"

namespace klik {
namespace {

// A 1200 x 1800 dark frame with a transparent window 1000 x 1200 (taller
// than wide) at (100, 300) from the top left.
Bitmap tallWindowFrame() {
    Bitmap f = Bitmap::rgba(1200, 1800, 30, 30, 120, 255);
    for (int y = 300; y < 1500; ++y)
        for (int x = 100; x < 1100; ++x) f.pixel(x, y)[3] = 0;
    return f;
}

// A 3:2 camera photo: black with a white disc of radius 300 in the middle.
Data discPhoto() {
    Bitmap p = Bitmap::rgba(1800, 1200, 0, 0, 0, 255);
    for (int y = 0; y < 1200; ++y)
        for (int x = 0; x < 1800; ++x)
            if (std::hypot(x - 900.0, y - 600.0) <= 300.0) {
                auto* px = p.pixel(x, y);
                px[0] = px[1] = px[2] = 255;
            }
    return *encodeJpegFromRGBA(p, 95);
}

TEST(PrintAspect, AKeptPhotoPrintsAsItsSquareWithTheDiscStillRound) {
    test::TempDir dir;
    setFixedRoot(dir.path());
    ::mkdir(dir.file("tmp").c_str(), 0755);
    const std::string framePath = dir.file("TallFrame.png");
    {
        const auto png = encodePngFromRGBA(tallWindowFrame());
        ASSERT_TRUE(png);
        test::writeFile(framePath, std::string(png->begin(), png->end()));
    }
    Settings settings(dir.file("settings.plist"));
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    PrinterSetup pdf;
    pdf.outputFileName = dir.file("aspect.pdf");
    pdf.paperName = "A4";
    settings.setObject("persistent printer settings", Value(pdf.archive()));
    QtPrintPort port;
    port.setDialogResponder([](const std::string&, int def) { return def; });
    PrintFlow flow(
        settings, port, [](const std::string&) {}, framePath);

    // What the kiosk keeps, and so prints, is the photo's centred square.
    const auto square = centredSquareJpeg(discPhoto());
    ASSERT_TRUE(square);
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(*square, {}));

    QProcess p;
    p.start("pdftoppm",
            {"-png", "-r", "60", "-singlefile", QString::fromStdString(port.lastOutputPath()),
             QString::fromStdString(dir.file("page"))});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
    const QImage page =
        QImage(QString::fromStdString(dir.file("page.png"))).convertToFormat(QImage::Format_RGB888);
    ASSERT_FALSE(page.isNull());

    // The disc's extent on the page: white pixels (the frame is dark blue).
    int left = page.width(), right = -1, top = page.height(), bottom = -1;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb c = page.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200 && qRed(c) - qBlue(c) < 30 &&
                qBlue(c) - qRed(c) < 30) {
                // Page margins are white too: count only inside the frame.
                const double s = std::min(page.width() / 1200.0, page.height() / 1800.0);
                const double ox = (page.width() - 1200 * s) / 2,
                             oy = (page.height() - 1800 * s) / 2;
                const double fx = (x - ox) / s, fy = (y - oy) / s;
                if (fx < 100 || fx > 1100 || fy < 300 || fy > 1500) continue;
                left = std::min(left, x), right = std::max(right, x);
                top = std::min(top, y), bottom = std::max(bottom, y);
            }
        }
    ASSERT_GT(right, left);
    ASSERT_GT(bottom, top);
    const double width = right - left + 1, height = bottom - top + 1;
    // Round, not squashed into the window's 1000 x 1200 shape (0.83) nor
    // stretched from the 3:2 photo (0.56).
    EXPECT_NEAR(width / height, 1.0, 0.06) << width << " x " << height;
    // The square fills the window's height: the disc is half of it.
    const double s = std::min(page.width() / 1200.0, page.height() / 1800.0);
    EXPECT_NEAR(height / (1204 * s), 0.5, 0.05);
    setFixedRoot("");
}

}  // namespace
}  // namespace klik
