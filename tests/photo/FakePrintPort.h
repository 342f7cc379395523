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
        // The photo at `r` (top-left origin, clipped), the frame over it.
        Bitmap out = frame;
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x) {
                std::uint8_t* o = out.pixel(x, y);
                const int px = x - static_cast<int>(r.x), py = y - static_cast<int>(r.y);
                if (px < 0 || py < 0 || px >= photo.width || py >= photo.height) continue;
                const std::uint8_t* p = photo.pixel(px, py);
                const int a = o[3];
                for (int c = 0; c < 3; ++c)
                    o[c] = static_cast<std::uint8_t>((o[c] * a + p[c] * (255 - a)) / 255);
                o[3] = 255;
            }
        return out;
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
