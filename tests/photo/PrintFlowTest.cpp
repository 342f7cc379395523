#include "photo/PrintFlow.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "FakePrintPort.h"
#include "TestImages.h"
#include "foundation/FixedPaths.h"
#include "imaging/ImageCodec.h"
#include "log/Log.h"
#include "support/TempDir.h"

namespace klik {
namespace {

// A w x h frame, opaque except a transparent window (top-down x0..x1-1, y0..y1-1).
Bitmap frameWithWindow(int w, int h, int x0, int y0, int x1, int y1) {
    Bitmap bm = Bitmap::rgba(w, h, 200, 0, 0, 255);
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) bm.pixel(x, y)[3] = 0;
    return bm;
}

class PrintFlowTest : public testing::Test {
  protected:
    void SetUp() override {
        setFixedRoot(dir.path());
        ::mkdir(dir.file("tmp").c_str(), 0755);
        GLIMRA_Log::resetForTesting();
        GLIMRA_Log::setRedirectsStdErr(false);
        GLIMRA_Log::setLogFile(dir.file("print.log"));
        const Bitmap frame = frameWithWindow(300, 400, 50, 60, 250, 300);
        const auto png = encodePngFromRGBA(frame);
        ASSERT_TRUE(png);
        framePath = dir.file("frame.png");
        test::writeFile(framePath, std::string(png->begin(), png->end()));
        photo = test::makeBarJpeg(320, 240, {32});
    }
    void TearDown() override {
        GLIMRA_Log::resetForTesting();
        setFixedRoot("");
    }
    std::string log() const { return test::readFile(dir.file("print.log")); }
    bool logged(const std::string& s) const { return log().find(s) != std::string::npos; }
    PrintFlow makeFlow() {
        return PrintFlow(
            settings, port, [this](const std::string& t) { alerts.push_back(t); }, framePath);
    }

    test::TempDir dir;
    Settings settings{dir.file("settings.plist")};
    test::FakePrintPort port;
    std::vector<std::string> alerts;
    std::string framePath;
    Data photo;
};

TEST_F(PrintFlowTest, ModeZeroBecomesOneAndShowsTheSheetAtOneCopyModeTwoPrintsOneWithoutIt) {
    PrintFlow flow = makeFlow();
    settings.setInteger("prefPrintCopies", 7);
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {"a@b.c", "d@e.f"}));
    EXPECT_EQ(settings.integerForKey("prefKeyForShowPrintDialogModeIndex"), 1);
    ASSERT_EQ(port.sheetShownWith, std::vector<int>{1});
    ASSERT_EQ(port.jobs.size(), 1u);
    EXPECT_EQ(port.jobs[0].setup.copies, 1);

    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {"a@b.c", "d@e.f", "g@h.i"}));
    EXPECT_EQ(port.sheetShownWith.size(), 1u) << "no sheet in mode two";
    ASSERT_EQ(port.jobs.size(), 2u);
    EXPECT_EQ(port.jobs[1].setup.copies, 1);
    // The mode is chosen by its button; an unknown one is refused.
    EXPECT_TRUE(flow.selectPrintDialogChoiceButtonHit(3));
    EXPECT_EQ(settings.integerForKey("prefKeyForShowPrintDialogModeIndex"), 3);
    EXPECT_TRUE(logged("Inside PrintFlow => selectPrintDialogChoiceButtonHit:...mode = [3]"));
    EXPECT_FALSE(flow.selectPrintDialogChoiceButtonHit(7));
    EXPECT_EQ(settings.integerForKey("prefKeyForShowPrintDialogModeIndex"), 3);
}

TEST_F(PrintFlowTest, ModeOneSheetButtonsChangeTheCopiesWhichStopAtNineAndAtOne) {
    PrintFlow flow = makeFlow();
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 1);
    port.sheetPresses = {1, 1, 2, 7, 1};
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(port.sheetAnswers, (std::vector<int>{2, 3, 2, 2, 3}));
    ASSERT_EQ(port.jobs.size(), 1u);
    EXPECT_EQ(port.jobs[0].setup.copies, 3);
    EXPECT_EQ(settings.integerForKey("prefPrintCopies"), 3);
    EXPECT_TRUE(
        logged("Inside PrintFlow => selectPrintCopiesChoiceButtonHit:...copies "
               "changed to = [3]"));
    int c = 0;
    for (int i = 0; i < 12; ++i) c = flow.selectPrintCopiesChoiceButtonHit(1);
    EXPECT_EQ(c, 9);
    EXPECT_EQ(settings.integerForKey("prefPrintCopies"), 9);
    EXPECT_EQ(flow.selectPrintCopiesChoiceButtonHit(3), 1);
    for (int i = 0; i < 3; ++i) c = flow.selectPrintCopiesChoiceButtonHit(2);
    EXPECT_EQ(c, 1);
    EXPECT_EQ(flow.selectPrintCopiesChoiceButtonHit(42), 1);
}

TEST_F(PrintFlowTest,
       SheetClosedWithoutPrintTagPrintsNothingCopiesStayInOneToNineOrFollowTheEmails) {
    PrintFlow flow = makeFlow();
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 1);
    for (int tag : {0, 99, 101, -1}) {
        port.sheetCloseTag = tag;
        EXPECT_FALSE(flow.printCurrentPictureWithPrompt(photo, {}));
    }
    EXPECT_TRUE(port.jobs.empty());
    EXPECT_FALSE(flow.hasPrintInfo());
    port.sheetCloseTag = 100;
    for (auto [stored, expected] : std::vector<std::pair<std::int64_t, int>>{
             {0, 1}, {-5, 1}, {4, 4}, {65536 + 3, 3}, {500, 9}, {65535, 1}}) {
        settings.setInteger("prefPrintCopies", stored);
        EXPECT_EQ(flow.printCopies(), expected) << stored;
    }
    settings.setInteger("prefPrintCopies", 0);
    EXPECT_TRUE(flow.printCurrentPicture(photo, PrintFlow::Sender::Operator));
    EXPECT_EQ(port.jobs.back().setup.copies, 1);
    // Mode three: the copies follow the email count, up to four.
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 3);
    const std::vector<std::string> six{"a@x.y", "b@x.y", "c@x.y", "d@x.y", "e@x.y", "f@x.y"};
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, six));
    EXPECT_EQ(port.sheetShownWith.back(), 4);
    EXPECT_EQ(port.jobs.back().setup.copies, 4);
    EXPECT_TRUE(logged("2010-11-15orlo USING EMAIL Count for Print Copies = [4]"));

    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(port.sheetShownWith.back(), 1);
    EXPECT_EQ(port.jobs.back().setup.copies, 1);

    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {"a@x.y", "b@x.y"}));
    EXPECT_EQ(port.jobs.back().setup.copies, 2);
}

TEST_F(PrintFlowTest, FirstGoodPromptedPrintHasDialogsLaterOnesAreSilentOperatorAlwaysAsks) {
    PrintFlow flow = makeFlow();
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    port.printDialogPrinter = "kiosk-queue";
    // A failed first print keeps the dialogs for the next one.
    port.printSucceeds = false;
    EXPECT_FALSE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_TRUE(logged("UNsuccessful print operation!"));
    EXPECT_FALSE(flow.hasPrintInfo());
    port.jobs.clear();
    port.printSucceeds = true;
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_TRUE(flow.printCurrentPicture(photo, PrintFlow::Sender::Operator));
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    ASSERT_EQ(port.jobs.size(), 4u);
    EXPECT_TRUE(port.jobs[0].dialog);
    EXPECT_FALSE(port.jobs[1].dialog);
    EXPECT_TRUE(port.jobs[2].dialog);
    EXPECT_FALSE(port.jobs[3].dialog);
    EXPECT_EQ(port.pageSetupGiven.size(), 3u);
    // The queue picked in the first print dialog is used by the silent one.
    EXPECT_EQ(port.jobs[1].setup.printerName, "kiosk-queue");
    EXPECT_TRUE(logged("successful print operation"));
    EXPECT_TRUE(logged("successful print operation2222"));
    EXPECT_TRUE(logged("current imageablePageBounds: {{0, 0}, {595, 842}}"));
    EXPECT_TRUE(logged("current print info:"));
    port.printSucceeds = false;
    EXPECT_FALSE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_FALSE(port.jobs.back().dialog);
    EXPECT_TRUE(logged("UNsuccessful print operation2222!"));
}

TEST_F(PrintFlowTest, PageSetupIsCentredClippedWithoutMarginsAndPersistedOverAnUnreadableOne) {
    const std::string junk = "<plist><array><string>x</string></array></plist>";
    settings.setObject("persistent printer settings", Value(Data(junk.begin(), junk.end())));
    {
        PrintFlow flow = makeFlow();
        port.pageSetupPrinter = "photo-queue";
        settings.setInteger("prefPrintCopies", 2);
        EXPECT_TRUE(flow.printCurrentPicture(photo, PrintFlow::Sender::Operator));
        // The unreadable set-up gives way to the default one.
        ASSERT_EQ(port.pageSetupGiven.size(), 1u);
        EXPECT_EQ(port.pageSetupGiven[0].printerName, "default-queue");
        EXPECT_TRUE(logged("\"persistent printer settings\" unreadable"));
        const PrinterSetup& s = port.jobs.back().setup;
        EXPECT_TRUE(s.centerHorizontally && s.centerVertically);
        EXPECT_TRUE(s.clipHorizontally && s.clipVertically);
        EXPECT_EQ(s.leftMarginMM, 0);
        EXPECT_EQ(s.copies, 2);
        EXPECT_EQ(s.printerName, "photo-queue");
    }
    // A new launch: the saved set-up is what the page set-up dialog opens with.
    const std::optional<Data> saved = settings.dataForKey("persistent printer settings");
    ASSERT_TRUE(saved);
    const auto restored = PrinterSetup::unarchive(*saved);
    ASSERT_TRUE(restored);
    EXPECT_EQ(restored->printerName, "photo-queue");
    Settings again(dir.file("settings.plist"));
    test::FakePrintPort port2;
    PrintFlow flow2(again, port2, {}, framePath);
    EXPECT_TRUE(flow2.printCurrentPicture(photo, PrintFlow::Sender::Controller));
    ASSERT_EQ(port2.pageSetupGiven.size(), 1u);
    EXPECT_EQ(port2.pageSetupGiven[0].printerName, "photo-queue");
    EXPECT_TRUE(port2.pageSetupGiven[0].centerVertically);
}

TEST_F(PrintFlowTest, NothingToPrintOrNothingUsableIsRefusedClearly) {
    PrintFlow flow = makeFlow();
    EXPECT_FALSE(flow.printCurrentPicture({}, PrintFlow::Sender::Operator));
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0], "No image to print!\n\nTake a picture before printing!");
    EXPECT_TRUE(port.calls.empty());

    const Data garbage{'n', 'o', 't', ' ', 'a', 'j', 'p', 'g'};
    EXPECT_FALSE(flow.printCurrentPicture(garbage, PrintFlow::Sender::Operator));
    EXPECT_TRUE(logged("the photo cannot be decoded"));

    PrintFlow noFrame(settings, port, {}, dir.file("missing.png"));
    EXPECT_FALSE(noFrame.printCurrentPicture(photo, PrintFlow::Sender::Operator));
    EXPECT_TRUE(logged("not found or unreadable"));
    EXPECT_TRUE(port.jobs.empty());
}

TEST_F(PrintFlowTest, CompositeLayoutWidensTheWindowAndWritesTheLastComposite) {
    // A 1200 x 1800 frame with its window at (100, 300, 1000, 1200), origin
    // bottom-left: rows 300..1499 top-down, so the edge scan sees 1000 x 1200
    // after its inclusive-max rule gives 999 x 1199 + the widening.
    const Bitmap frame = frameWithWindow(1200, 1800, 100, 300, 1101, 1501);
    const PrintCompositeLayout l = printCompositeLayout(frame);
    EXPECT_EQ(l.canvasWidth, 1200);
    EXPECT_EQ(l.canvasHeight, 1800);
    EXPECT_EQ(l.photoFrame, (AlphaFrame{100, 297, 1006, 1204}));
    EXPECT_EQ(l.photoRect, (PixelRect{100, 1800 - 297 - 1204, 1006, 1204}));

    PrintFlow flow = makeFlow();
    const Bitmap canvas = flow.compositeImage2(frame, Bitmap::rgba(40, 30));
    EXPECT_EQ(canvas.width, 1200);
    EXPECT_EQ(port.lastPhotoRect, l.photoRect);
    const auto written = readFileData(dir.file("tmp/myNewComposed.jpg"));
    ASSERT_TRUE(written);
    const auto info = readJpegInfo(*written);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->width, 1200);
    EXPECT_EQ(info->height, 1800);

    // A square photo goes in as its centre with the window's shape: a bar in
    // the middle of the square stays in the middle, nothing is squashed.
    Bitmap square = Bitmap::rgba(1204, 1204, 0, 0, 0);
    for (int y = 0; y < 1204; ++y)
        for (int x = 592; x < 612; ++x) square.pixel(x, y)[0] = 255;
    flow.compositeImage2(frame, square);
    ASSERT_FALSE(port.lastPhoto.empty());
    EXPECT_EQ(port.lastPhoto.height, 1204);
    EXPECT_EQ(port.lastPhoto.width, 1006);  // 1204 x 1006/1204, the window's shape
    const int shift = (1204 - 1006) / 2;
    EXPECT_EQ(port.lastPhoto.pixel(592 - shift, 600)[0], 255);
    EXPECT_EQ(port.lastPhoto.pixel(611 - shift, 600)[0], 255);
    EXPECT_EQ(port.lastPhoto.pixel(591 - shift, 600)[0], 0);
    EXPECT_EQ(port.lastPhoto.pixel(612 - shift, 600)[0], 0);
    // A wide photo into a wide window: the sides are cut.
    const Bitmap wide = centredCropToShape(Bitmap::rgba(300, 100), 200, 100);
    EXPECT_EQ(wide.width, 200);
    EXPECT_EQ(wide.height, 100);
    EXPECT_EQ(centredCropToShape(Bitmap::rgba(300, 100), 30, 10).width, 300);

    // Fully opaque artwork has no window: nothing is drawn.
    EXPECT_TRUE(flow.compositeImage2(Bitmap::rgba(50, 50), Bitmap::rgba(4, 4)).empty());
}

TEST_F(PrintFlowTest, ALargePhotoIsDecodedOnlyAsFarAsTheWindowNeedsAndStillCoversIt) {
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    const PrintCompositeLayout layout =
        printCompositeLayout(frameWithWindow(300, 400, 50, 60, 250, 300));
    ASSERT_TRUE(layout.valid());
    const auto rw = static_cast<int>(layout.photoRect.width);
    const auto rh = static_cast<int>(layout.photoRect.height);
    ASSERT_LT(rw, rh);  // a portrait window: landscape photos lose their sides
    struct Case {
        int width, height;  // the photo
        int keptHeight;     // its height as handed to the frame, when landscape
        int keptWidth;      // its width, when portrait
    };
    // Landscape: the height decides (1/4 of 1440 still covers, 1/8 would not);
    // portrait: the width (1/8 of 1700, rounded up, still covers). A photo
    // no larger than twice the window is decoded whole.
    for (const Case c :
         {Case{1920, 1440, 360, 0}, Case{1700, 3000, 0, 213}, Case{rw + 20, rh + 10, rh + 10, 0}}) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
        PrintFlow flow = makeFlow();
        port.lastPhoto = {};
        EXPECT_TRUE(flow.printCurrentPictureWithPrompt(
            test::makeBarJpeg(c.width, c.height, {c.width / 2 - 16}), {}));
        const Bitmap& kept = port.lastPhoto;
        ASSERT_FALSE(kept.empty());
        EXPECT_GE(kept.width, rw);
        EXPECT_GE(kept.height, rh);
        if (c.keptHeight) {
            EXPECT_EQ(kept.height, c.keptHeight);
        }
        if (c.keptWidth) {
            EXPECT_EQ(kept.width, c.keptWidth);
        }
        // Still the photo's own centre with the window's shape.
        EXPECT_NEAR(static_cast<double>(kept.width) / kept.height, static_cast<double>(rw) / rh,
                    0.01);
        EXPECT_GT(test::meanRed(kept, kept.width / 2 - 1, kept.width / 2 + 1, 0, kept.height), 200);
        EXPECT_LT(test::meanRed(kept, 0, kept.width / 8, 0, kept.height), 60);
    }
}

TEST_F(PrintFlowTest, CountedPaperWarnsOnceWhenLowAndRefusesTheGuestOnceUsedUp) {
    settings.setInteger("prefPrintsPerLoad", 10);
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 1);
    {
        PrintFlow flow = makeFlow();
        // Seven copies: three left, not yet low.
        port.sheetPresses = {1, 1, 1, 1, 1, 1};
        ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
        EXPECT_EQ(port.jobs.back().setup.copies, 7);
        EXPECT_EQ(flow.paper().left(), 3);
        EXPECT_TRUE(alerts.empty());
        // The sheet offers no more than what is left.
        port.sheetPresses = {1, 1, 1, 1, 1};
        ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
        EXPECT_EQ(port.sheetAnswers.back(), 3);
        EXPECT_EQ(port.jobs.back().setup.copies, 3);
    }
    // The count outlives a restart, from the settings file.
    Settings reread(dir.file("settings.plist"));
    EXPECT_EQ(PaperSupply(reread).printed(), 10);
    ASSERT_EQ(alerts.size(), 1u) << "one notice when the paper ran out, none twice";
    EXPECT_NE(alerts[0].find("klikctl print reload"), std::string::npos) << alerts[0];

    PrintFlow flow = makeFlow();
    const size_t jobs = port.jobs.size();
    port.sheetPresses = {};
    EXPECT_FALSE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(port.jobs.size(), jobs) << "no job that cannot print";
    ASSERT_EQ(alerts.size(), 2u);
    EXPECT_EQ(alerts[1], PaperSupply::emptyNoticeForGuest());
    EXPECT_FALSE(flow.printCurrentPicture(photo, PrintFlow::Sender::Operator));
    EXPECT_TRUE(logged("the paper is used up"));

    flow.paper().reload();
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(flow.paper().left(), 9);
}

TEST_F(PrintFlowTest, LowPaperIsToldOnceAtATenthOfALoad) {
    settings.setInteger("prefPrintsPerLoad", 50);
    settings.setInteger("printSheetsSinceReload", 44);
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 2);
    PrintFlow flow = makeFlow();
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));  // 5 left: low
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));  // 4 left: told already
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_NE(alerts[0].find("4 of 50") == std::string::npos ? alerts[0].find("5 of 50")
                                                             : std::string::npos,
              std::string::npos)
        << alerts[0];
    // Not counted: nothing is refused or told.
    settings.setInteger("prefPrintsPerLoad", 0);
    settings.setInteger("printSheetsSinceReload", 1000);
    EXPECT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(alerts.size(), 1u);
}

TEST_F(PrintFlowTest, TheGuestIsOfferedAtMostTheCopiesTheOperatorAllows) {
    settings.setInteger("prefMaxPrintsPerGuest", 2);
    PrintFlow flow = makeFlow();
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 1);
    port.sheetPresses = {1, 1, 1};
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {}));
    EXPECT_EQ(port.sheetAnswers, (std::vector<int>{2, 2, 2}));
    EXPECT_EQ(port.jobs.back().setup.copies, 2);
    // One per address stops there too.
    settings.setInteger("prefKeyForShowPrintDialogModeIndex", 3);
    port.sheetPresses = {};
    ASSERT_TRUE(flow.printCurrentPictureWithPrompt(photo, {"a@b.c", "d@e.f", "g@h.i"}));
    EXPECT_EQ(port.jobs.back().setup.copies, 2);
    // The operator's own print is not the guest's.
    settings.setInteger("prefPrintCopies", 5);
    ASSERT_TRUE(flow.printCurrentPicture(photo, PrintFlow::Sender::Operator));
    EXPECT_EQ(port.jobs.back().setup.copies, 5);
}

TEST_F(PrintFlowTest, PrinterSetupRoundTripsAndRefusesWrongTypes) {
    PrinterSetup s;
    s.printerName = "q";
    s.outputFileName = "/x.pdf";
    s.paperName = "Letter";
    s.paperWidthMM = 215.9;
    s.paperHeightMM = 279.4;
    s.landscape = true;
    s.leftMarginMM = 1;
    s.topMarginMM = 2;
    s.rightMarginMM = 3;
    s.bottomMarginMM = 4;
    s.copies = 3;
    s.centerHorizontally = true;
    s.clipHorizontally = true;
    s.resolutionDPI = 300;
    const auto back = PrinterSetup::unarchive(s.archive());
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, s);
    std::string why;
    Dictionary d = s.toDictionary();
    d["copies"] = Value("three");
    EXPECT_FALSE(PrinterSetup::fromDictionary(d, &why));
    EXPECT_NE(why.find("copies"), std::string::npos);
    d = s.toDictionary();
    d["orientation"] = Value("sideways");
    EXPECT_FALSE(PrinterSetup::fromDictionary(d, &why));
    EXPECT_FALSE(PrinterSetup::unarchive(Data{'x'}, &why));
}

}  // namespace
}  // namespace klik
