// The Qt print port: composite geometry, page bounds, PDF output that never
// replaces an earlier print, the quantity sheet by script and by clicks,
// copies reaching the printer, and the whole print flow through it.
#include "ui/print/QtPrintPort.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "PrivateCupsd.h"
#include "foundation/FixedPaths.h"
#include "imaging/ImageCodec.h"
#include "imaging/JpegSquare.h"
#include "log/Log.h"
#include "photo/PrintComposite.h"
#include "photo/PrintFlow.h"
#include "photo/ShotsComposite.h"
#include "support/TempDir.h"
#include "ui/print/NextFreePath.h"
#include "ui/print/QuantitySheet.h"

namespace klik {
namespace {

class QtPrintPortTest : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("print.log"));
    }
    void TearDown() override {
        GLIMRA_Log::resetForTesting();
        setFixedRoot("");
    }
    bool logged(const std::string& s) const {
        return test::readFile(dir.file("print.log")).find(s) != std::string::npos;
    }
    PrinterSetup pdfSetup(const std::string& name = "print.pdf") const {
        PrinterSetup s;
        s.outputFileName = dir.file(name);
        s.paperName = "A4";
        return s;
    }
    test::TempDir dir;
    QtPrintPort port;
};

bool near(const std::uint8_t* p, int r, int g, int b, int tol = 40) {
    return std::abs(p[0] - r) <= tol && std::abs(p[1] - g) <= tol && std::abs(p[2] - b) <= tol;
}

TEST_F(QtPrintPortTest, CompositeStretchesThePhotoIntoItsPlaceAndDrawsTheFrameOver) {
    // Opaque blue frame with a transparent window; red photo of another aspect.
    Bitmap frame = Bitmap::rgba(120, 180, 0, 0, 255, 255);
    for (int y = 30; y < 150; ++y)
        for (int x = 10; x < 110; ++x) frame.pixel(x, y)[3] = 0;
    const Bitmap photo = Bitmap::rgba(64, 32, 255, 0, 0, 255);
    const Bitmap out = port.compositeImage(frame, photo, PixelRect{10, 27, 106, 124});
    ASSERT_EQ(out.width, 120);
    ASSERT_EQ(out.height, 180);
    EXPECT_TRUE(near(out.pixel(60, 90), 255, 0, 0, 2));    // photo in the window
    EXPECT_TRUE(near(out.pixel(12, 31), 255, 0, 0, 2));    // stretched to the corner
    EXPECT_TRUE(near(out.pixel(112, 100), 0, 0, 255, 2));  // frame over the photo's overhang
    EXPECT_TRUE(near(out.pixel(60, 5), 0, 0, 255, 2));     // frame outside the photo
    EXPECT_EQ(out.pixel(60, 5)[3], 255);
    EXPECT_TRUE(near(out.pixel(5, 90), 0, 0, 255, 2));  // left of the photo: frame only
    // Where neither reaches, the canvas stays transparent.
    Bitmap holey = frame;
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) holey.pixel(x, y)[3] = 0;
    EXPECT_EQ(port.compositeImage(holey, photo, PixelRect{10, 27, 106, 124}).pixel(1, 1)[3], 0);
    EXPECT_TRUE(port.compositeImage(frame, Bitmap{}, PixelRect{0, 0, 1, 1}).empty());
    EXPECT_TRUE(port.compositeImage(frame, photo, PixelRect{0, 0, 0, 5}).empty());
}

TEST_F(QtPrintPortTest, EachShotOfATurnFillsItsOwnWindowOfTheFrame) {
    // A 2 x 2 frame (grey) and four shots of one colour each, square
    // shots in wide windows.
    Bitmap frame = Bitmap::rgba(440, 340, 128, 128, 128, 255);
    const int lefts[] = {20, 230}, tops[] = {20, 180};
    for (int top : tops)
        for (int left : lefts)
            for (int y = top; y < top + 140; ++y)
                for (int x = left; x < left + 190; ++x) frame.pixel(x, y)[3] = 0;
    const std::vector<Bitmap> shots = {
        Bitmap::rgba(300, 300, 255, 0, 0), Bitmap::rgba(300, 300, 0, 255, 0),
        Bitmap::rgba(300, 300, 0, 0, 255), Bitmap::rgba(300, 300, 255, 255, 0)};
    std::string why;
    const Bitmap out = composeShotsInFrame(port, frame, shots, &why);
    ASSERT_EQ(out.width, 440) << why;
    ASSERT_EQ(out.height, 340);
    EXPECT_TRUE(near(out.pixel(115, 90), 255, 0, 0, 2)) << "first shot, top left";
    EXPECT_TRUE(near(out.pixel(325, 90), 0, 255, 0, 2)) << "second, top right";
    EXPECT_TRUE(near(out.pixel(115, 250), 0, 0, 255, 2)) << "third, bottom left";
    EXPECT_TRUE(near(out.pixel(325, 250), 255, 255, 0, 2)) << "fourth, bottom right";
    EXPECT_TRUE(near(out.pixel(215, 170), 128, 128, 128, 2)) << "the frame between them";
    EXPECT_EQ(out.pixel(215, 170)[3], 255);

    // Two windows and four shots: the first two. One shot and four windows:
    // that shot in each.
    Bitmap two = frame;
    for (int y = 180; y < 320; ++y)
        for (int x = 0; x < 440; ++x) two.pixel(x, y)[3] = 255;
    const Bitmap first2 = composeShotsInFrame(port, two, shots, &why);
    ASSERT_FALSE(first2.empty()) << why;
    EXPECT_TRUE(near(first2.pixel(115, 90), 255, 0, 0, 2));
    EXPECT_TRUE(near(first2.pixel(325, 90), 0, 255, 0, 2));
    const Bitmap single = composeShotsInFrame(port, frame, {shots[2]}, &why);
    EXPECT_TRUE(near(single.pixel(325, 250), 0, 0, 255, 2));
    EXPECT_TRUE(composeShotsInFrame(port, Bitmap::rgba(100, 100), shots, &why).empty());
    EXPECT_NE(why.find("no transparent window"), std::string::npos) << why;
    EXPECT_TRUE(composeShotsInFrame(port, frame, {}, &why).empty());
}

TEST_F(QtPrintPortTest, PageBoundsAndPdfOutputThatNeverReplacesAnEarlierPrint) {
    // The imageable bounds are points from the bottom left.
    PrinterSetup margins = pdfSetup();
    margins.leftMarginMM = 10;
    margins.rightMarginMM = 20;
    margins.topMarginMM = 30;
    margins.bottomMarginMM = 5;
    const Rect r = port.imageablePageBounds(margins);
    const double pt = 72.0 / 25.4;
    EXPECT_NEAR(r.x, 10 * pt, 0.5);
    EXPECT_NEAR(r.y, 5 * pt, 0.5);
    EXPECT_NEAR(r.width, (210 - 30) * pt, 0.5);
    EXPECT_NEAR(r.height, (297 - 35) * pt, 0.5);
    margins.landscape = true;
    EXPECT_NEAR(port.imageablePageBounds(margins).width, (297 - 30) * pt, 0.5);

    EXPECT_EQ(nextFreePath(dir.file("a.pdf")), dir.file("a.pdf"));
    const Bitmap img = Bitmap::rgba(40, 60, 0, 200, 0, 255);
    const PrinterSetup s = pdfSetup();
    test::writeFile(s.outputFileName, "earlier print");
    PrintOutcome first = port.print(img, s, false);
    ASSERT_TRUE(first.ok);
    EXPECT_EQ(port.lastOutputPath(), dir.file("print-2.pdf"));
    EXPECT_EQ(test::readFile(s.outputFileName), "earlier print");
    EXPECT_EQ(test::readFile(dir.file("print-2.pdf")).rfind("%PDF", 0), 0u);
    EXPECT_EQ(first.setup.outputFileName, s.outputFileName);  // the base name is kept
    ASSERT_TRUE(port.print(img, s, false).ok);
    EXPECT_EQ(port.lastOutputPath(), dir.file("print-3.pdf"));
    EXPECT_TRUE(logged("print-3.pdf"));
    // A folder that does not exist: a failure with a log line.
    PrinterSetup bad = pdfSetup("missing/folder/x.pdf");
    EXPECT_FALSE(port.print(img, bad, false).ok);
    EXPECT_TRUE(logged("print: "));
    EXPECT_FALSE(port.print(Bitmap{}, s, false).ok);
    // No such queue.
    PrinterSetup queue;
    queue.printerName = "NoSuchQueueHere";
    EXPECT_FALSE(port.print(img, queue, false).ok);
    EXPECT_TRUE(logged("\"NoSuchQueueHere\" does not exist"));
}

TEST_F(QtPrintPortTest, PrintDialogAndCopiesByResponder) {
    std::vector<std::string> asked;
    int printAnswer = QDialog::Accepted;
    port.setDialogResponder([&](const std::string& name, int def) {
        asked.push_back(name);
        return name == QtPrintPort::kPrintDialog ? printAnswer : def;
    });
    int copiesSeen = 0;
    port.setJobObserver([&](const QPrinter& p) { copiesSeen = p.copyCount(); });
    PrinterSetup s = pdfSetup();
    s.copies = 3;
    EXPECT_EQ(port.runPageSetup(s), s);
    PrintOutcome o = port.print(Bitmap::rgba(10, 10), s, true);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(copiesSeen, 3);
    EXPECT_EQ(o.setup.copies, 3);
    EXPECT_EQ(asked, (std::vector<std::string>{"page setup", "print dialog"}));
    printAnswer = QDialog::Rejected;
    EXPECT_FALSE(port.print(Bitmap::rgba(10, 10), s, true).ok);
    EXPECT_EQ(port.lastOutputPath(), "");
}

TEST_F(QtPrintPortTest, QuantitySheetByResponderAndByClicks) {
    int copies = 1;
    auto button = [&](int tag) {
        if (tag == 1) copies = std::min(9, copies + 1);
        if (tag == 2) copies = std::max(1, copies - 1);
        if (tag == 3) copies = 1;
        return copies;
    };
    // Scripted: plus, plus, minus, then the default (print).
    std::vector<int> script = {1, 1, 2};
    port.setDialogResponder([&](const std::string& name, int def) {
        EXPECT_EQ(name, QtPrintPort::kQuantitySheet);
        if (script.empty()) return def;
        const int t = script.front();
        script.erase(script.begin());
        return t;
    });
    EXPECT_EQ(port.runQuantitySheet(1, button), 100);
    EXPECT_EQ(copies, 2);
    port.setDialogResponder([](const std::string&, int) { return 1; });  // never closes
    EXPECT_EQ(port.runQuantitySheet(1, button), 0);
    EXPECT_TRUE(logged("never closed the sheet"));

    // Real buttons, each carrying its tag.
    copies = 4;
    QuantitySheet sheet(4, button);
    for (int tag : {1, 2, 3, 100, 0}) {
        ASSERT_NE(sheet.buttonWithTag(tag), nullptr) << tag;
        EXPECT_EQ(sheet.buttonWithTag(tag)->property("tag").toInt(), tag);
    }
    QTest::mouseClick(sheet.buttonWithTag(1), Qt::LeftButton);
    QTest::mouseClick(sheet.buttonWithTag(1), Qt::LeftButton);
    EXPECT_EQ(sheet.copiesShown(), 6);
    QTest::mouseClick(sheet.buttonWithTag(2), Qt::LeftButton);
    EXPECT_EQ(sheet.copiesShown(), 5);
    QTest::mouseClick(sheet.buttonWithTag(3), Qt::LeftButton);
    EXPECT_EQ(sheet.copiesShown(), 1);

    // The modal run of the port, ended by clicks on the shown sheet.
    QtPrintPort live;
    copies = 1;
    for (int closeTag : {100, 0}) {
        QTimer::singleShot(0, [&] {
            auto* shown = qobject_cast<QuantitySheet*>(QApplication::activeModalWidget());
            ASSERT_NE(shown, nullptr);
            QTest::mouseClick(shown->buttonWithTag(1), Qt::LeftButton);
            QTest::mouseClick(shown->buttonWithTag(closeTag), Qt::LeftButton);
        });
        EXPECT_EQ(live.runQuantitySheet(copies, button), closeTag);
    }
    EXPECT_EQ(copies, 3);
}

// Renders page 1 of `pdf` at 50 dpi; null when pdftoppm is missing or fails.
QImage renderPdf(const std::string& pdf, const std::string& prefix) {
    QProcess p;
    p.start("pdftoppm", {"-png", "-r", "50", "-singlefile", QString::fromStdString(pdf),
                         QString::fromStdString(prefix)});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    return QImage(QString::fromStdString(prefix + ".png")).convertToFormat(QImage::Format_RGB888);
}

bool nearColour(QRgb c, const std::uint8_t* want, int tol = 60) {
    return std::abs(qRed(c) - want[0]) <= tol && std::abs(qGreen(c) - want[1]) <= tol &&
           std::abs(qBlue(c) - want[2]) <= tol;
}

// Checks the rendered page shows `composite` fitted, centred: the photo's
// colour well inside its place, the frame's colour at opaque frame spots.
void expectFramedPhotoOnPage(const QImage& page, const Bitmap& composite,
                             const PrintCompositeLayout& layout, const Bitmap& frame) {
    ASSERT_FALSE(page.isNull());
    const double s =
        std::min(double(page.width()) / composite.width, double(page.height()) / composite.height);
    const double ox = (page.width() - composite.width * s) / 2;
    const double oy = (page.height() - composite.height * s) / 2;
    auto at = [&](double cx, double cy) { return page.pixel(int(ox + cx * s), int(oy + cy * s)); };
    const PixelRect& r = layout.photoRect;
    const std::uint8_t photoColour[3] = {20, 200, 40};
    for (double fx : {0.3, 0.5, 0.7})
        for (double fy : {0.3, 0.5, 0.7})
            EXPECT_TRUE(nearColour(at(r.x + fx * r.width, r.y + fy * r.height), photoColour))
                << fx << "," << fy;
    // Opaque frame spots a good way from the window.
    int checked = 0;
    for (int y = 20; y < frame.height - 20; y += frame.height / 12) {
        for (int x = 20; x < frame.width - 20; x += frame.width / 12) {
            const bool farFromWindow =
                x < r.x - 30 || x > r.x + r.width + 30 || y < r.y - 30 || y > r.y + r.height + 30;
            if (!farFromWindow) continue;
            // Only uniform spots, so resampling cannot blur two colours together.
            const std::uint8_t* c = frame.pixel(x, y);
            bool uniform = c[3] == 255;
            for (int d = -12; d <= 12 && uniform; d += 4)
                uniform = near(frame.pixel(x + d, y), c[0], c[1], c[2], 8) &&
                          near(frame.pixel(x, y + d), c[0], c[1], c[2], 8);
            if (!uniform) continue;
            EXPECT_TRUE(nearColour(at(x, y), c)) << x << "," << y;
            ++checked;
        }
    }
    EXPECT_GT(checked, 3);
}

struct FramedPrint {
    Bitmap frame, composite;
    PrintCompositeLayout layout;
};

FramedPrint composeRealFrame(QtPrintPort& port) {
    FramedPrint f;
    auto frame = loadBitmapFromFile(std::string(KLIK_SOURCE_DIR) +
                                    "/resources/BrandedPhotoFrameForPrint.png");
    if (!frame) return f;
    f.frame = *frame;
    f.layout = printCompositeLayout(f.frame);
    f.composite =
        port.compositeImage(f.frame, Bitmap::rgba(300, 200, 20, 200, 40, 255), f.layout.photoRect);
    return f;
}

TEST_F(QtPrintPortTest, RealFrameCompositePrintedToPdfShowsPhotoInsideFrame) {
    const FramedPrint f = composeRealFrame(port);
    ASSERT_FALSE(f.composite.empty());
    ASSERT_TRUE(f.layout.valid());
    PrinterSetup s = pdfSetup("framed.pdf");
    ASSERT_TRUE(port.print(f.composite, s, false).ok);
    const QImage page = renderPdf(port.lastOutputPath(), dir.file("page"));
    if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
    expectFramedPhotoOnPage(page, f.composite, f.layout, f.frame);
}

TEST_F(QtPrintPortTest, PrintFlowModeThreeWithSixAddressesAsksForFourCopies) {
    Settings settings(dir.file("settings.plist"));
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 3);
    settings.setObject("persistent printer settings", Value(pdfSetup("flow.pdf").archive()));
    std::vector<std::string> asked;
    port.setDialogResponder([&](const std::string& name, int def) {
        asked.push_back(name);
        return def;
    });
    std::vector<int> copiesSeen;
    port.setJobObserver([&](const QPrinter& p) { copiesSeen.push_back(p.copyCount()); });
    PrintFlow flow(
        settings, port, [](const std::string&) {},
        std::string(KLIK_SOURCE_DIR) + "/resources/BrandedPhotoFrameForPrint.png");
    const auto photo = encodeJpegFromRGBA(Bitmap::rgba(320, 240, 20, 200, 40, 255), 90);
    ASSERT_TRUE(photo);
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(
        *photo, {"a@x.y", "b@x.y", "c@x.y", "d@x.y", "e@x.y", "f@x.y"}));
    EXPECT_EQ(copiesSeen, std::vector<int>{4});
    EXPECT_EQ(asked, (std::vector<std::string>{"quantity sheet", "page setup", "print dialog"}));
    EXPECT_EQ(port.lastOutputPath(), dir.file("flow.pdf"));
    EXPECT_EQ(test::readFile(dir.file("flow.pdf")).rfind("%PDF", 0), 0u);
}

TEST_F(QtPrintPortTest, RealCupsQueuePrintsTheFramedPhoto) {
    test::PrivateCupsd cupsd;
    if (!cupsd.running()) GTEST_SKIP() << "no private print spooler: " << cupsd.whyNot();
    const FramedPrint f = composeRealFrame(port);
    ASSERT_FALSE(f.composite.empty());
    PrinterSetup s;
    s.printerName = cupsd.queue();
    s.paperName = "A4";
    ASSERT_TRUE(port.print(f.composite, s, false).ok);
    // The queue takes PDF as it comes: the job file is the PDF Qt handed
    // to the spooler.
    ASSERT_TRUE(cupsd.waitForJobFiles(1)) << cupsd.errorLog();
    const std::string pdf = dir.file("cups-job.pdf");
    test::writeFile(pdf, test::readFile(cupsd.jobFiles().front()));
    ASSERT_EQ(test::readFile(pdf).rfind("%PDF", 0), 0u);
    const QImage page = renderPdf(pdf, dir.file("cups-page"));
    if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
    expectFramedPhotoOnPage(page, f.composite, f.layout, f.frame);
}

// The printed photo keeps its shape: the kept photo is its centred square,
// and the print fills the frame's window with it without squashing it.
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

TEST_F(QtPrintPortTest, AKeptPhotoPrintsAsItsSquareWithTheDiscStillRound) {
    const std::string framePath = dir.file("TallFrame.png");
    const auto png = encodePngFromRGBA(tallWindowFrame());
    ASSERT_TRUE(png);
    test::writeFile(framePath, std::string(png->begin(), png->end()));
    Settings settings(dir.file("settings.plist"));
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    settings.setObject("persistent printer settings", Value(pdfSetup("aspect.pdf").archive()));
    port.setDialogResponder([](const std::string&, int def) { return def; });
    PrintFlow flow(
        settings, port, [](const std::string&) {}, framePath);

    // What the kiosk keeps, and so prints, is the photo's centred square.
    const auto square = centredSquareJpeg(discPhoto());
    ASSERT_TRUE(square);
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(*square, {}));
    const QImage page = renderPdf(port.lastOutputPath(), dir.file("aspect-page"));
    if (page.isNull()) GTEST_SKIP() << "pdftoppm is not installed (poppler-utils)";
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
}

}  // namespace
}  // namespace klik
