#pragma once
// What the print flow needs from the desktop: the quantity sheet, the page
// set-up and print dialogs, the page geometry, the framed composite and the
// print job itself. ui/print/ implements it over Qt's print support; tests
// use a recording fake.
//
// Every operation is called on the main thread and may block for a modal
// dialog or a synchronous print job.

#include <functional>
#include <optional>

#include "app/Rect.h"
#include "imaging/Bitmap.h"
#include "photo/PrinterSetup.h"

namespace klik {

// The photo's place on the composite canvas, in pixels, origin top-left.
struct PixelRect {
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PixelRect&) const = default;
};

struct PrintOutcome {
    bool ok = false;
    PrinterSetup setup;  // the set-up as the job used it (after the print dialog)
};

class PrintPort {
  public:
    virtual ~PrintPort() = default;

    // The quantity sheet, run modally until one of its closing buttons is
    // pressed; returns that button's tag (100 = print). The plus, minus and
    // reset buttons call `copiesButton` with their tag (1, 2, 3); it answers
    // the copies to show. `copies` is the number shown at first.
    virtual int runQuantitySheet(int copies, const std::function<int(int tag)>& copiesButton) = 0;

    // The system's default set-up when nothing was saved.
    virtual PrinterSetup defaultSetup() = 0;
    // The page set-up dialog over `setup`; returns the set-up as the operator
    // left it (unchanged when cancelled).
    virtual PrinterSetup runPageSetup(const PrinterSetup& setup) = 0;
    // The printable area of the page in points (1/72 inch), origin
    // bottom-left.
    virtual Rect imageablePageBounds(const PrinterSetup& setup) = 0;

    // A canvas of the frame's pixel size: the photo drawn stretched into
    // `photoRect` with smooth resampling, the frame drawn over the whole
    // canvas, both source-over at full opacity. Empty when drawing failed.
    virtual Bitmap compositeImage(const Bitmap& frame, const Bitmap& photo,
                                  const PixelRect& photoRect) = 0;

    // Prints `image` scaled proportionally to fit the printable area and
    // centred. With `showPrintDialog` the print dialog runs first (a
    // cancelled dialog is a failed print).
    virtual PrintOutcome print(const Bitmap& image, const PrinterSetup& setup,
                               bool showPrintDialog) = 0;
};

}  // namespace klik
