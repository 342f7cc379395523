#pragma once
// A PrintPort that records what the print flow asked of the desktop and
// answers from a script: the quantity sheet presses the buttons it is given,
// the dialogs change the set-up as told, the print succeeds or fails.

#include <deque>
#include <string>
#include <vector>

#include "photo/PrintPort.h"

namespace klik::test {

class FakePrintPort : public PrintPort {
  public:
    static PrinterSetup makeDefaults() {
        PrinterSetup s;
        s.printerName = "default-queue";
        s.paperName = "A4";
        return s;
    }
    // Script.
    std::vector<int> sheetPresses;   // copies buttons pressed in order
    int sheetCloseTag = 100;         // the closing button
    std::string pageSetupPrinter;    // the queue the page set-up dialog picks ("" = keep)
    std::string printDialogPrinter;  // the queue the print dialog picks ("" = keep)
    bool printSucceeds = true;
    PrinterSetup defaults = makeDefaults();

    // Record.
    std::vector<std::string> calls;
    std::vector<int> sheetShownWith, sheetAnswers;
    std::vector<PrinterSetup> pageSetupGiven;
    struct Job {
        PrinterSetup setup;
        bool dialog;
        int width, height;
    };
    std::vector<Job> jobs;
    PixelRect lastPhotoRect;

    int runQuantitySheet(int copies, const std::function<int(int)>& button) override {
        calls.push_back("sheet");
        sheetShownWith.push_back(copies);
        for (int tag : sheetPresses) sheetAnswers.push_back(button(tag));
        return sheetCloseTag;
    }
    PrinterSetup defaultSetup() override {
        calls.push_back("defaultSetup");
        return defaults;
    }
    PrinterSetup runPageSetup(const PrinterSetup& s) override {
        calls.push_back("pageSetup");
        pageSetupGiven.push_back(s);
        PrinterSetup out = s;
        out.leftMarginMM = 12;  // the flow must zero these afterwards
        if (!pageSetupPrinter.empty()) out.printerName = pageSetupPrinter;
        return out;
    }
    Bitmap lastPhoto;  // as handed to compositeImage
    Rect imageablePageBounds(const PrinterSetup&) override { return {0, 0, 595, 842}; }
    Bitmap compositeImage(const Bitmap& frame, const Bitmap& photo, const PixelRect& r) override {
        calls.push_back("composite");
        lastPhotoRect = r;
        lastPhoto = photo;
        return Bitmap::rgba(frame.width, frame.height, 10, 20, 30);
    }
    PrintOutcome print(const Bitmap& image, const PrinterSetup& s, bool dialog) override {
        calls.push_back(dialog ? "print dialog" : "print silent");
        PrintOutcome out{printSucceeds, s};
        if (dialog && !printDialogPrinter.empty()) out.setup.printerName = printDialogPrinter;
        jobs.push_back({s, dialog, image.width, image.height});
        return out;
    }
};

}  // namespace klik::test
