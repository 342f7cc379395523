#include "photo/PrintFlow.h"

#include <algorithm>
#include <cstdint>

#include "foundation/FixedPaths.h"
#include "foundation/PropertyList.h"
#include "imaging/AlphaFrame.h"
#include "imaging/ImageCodec.h"
#include "imaging/PhotoDisplayDecode.h"
#include "log/Log.h"
#include "log/StringUtils.h"
#include "photo/ShotsComposite.h"

namespace klik {

namespace {

constexpr const char* kCopiesKey = "prefPrintCopies";
constexpr const char* kModeKey = "prefKeyForShowPrintDialogModeIndex";
constexpr const char* kPersistentKey = "persistent printer settings";
constexpr const char* kComposedPath = "/tmp/myNewComposed.jpg";
constexpr const char* kNoImage = "No image to print!\n\nTake a picture before printing!";
constexpr const char* kMaxPerGuestKey = "prefMaxPrintsPerGuest";

std::string describeRect(const Rect& r) {
    return stringFromRect(r.x, r.y, r.width, r.height);
}

}  // namespace

PrintFlow::PrintFlow(Settings& settings, PrintPort& port, AlertSink floatingAlert,
                     std::string frameName)
    : settings_(settings),
      port_(port),
      alert_(std::move(floatingAlert)),
      paper_(settings),
      frameName_(std::move(frameName)) {}

int PrintFlow::maxCopiesForGuest() const {
    int most = kMaxCopies;
    const std::int64_t perGuest = settings_.integerForKey(kMaxPerGuestKey);
    if (perGuest > 0) most = static_cast<int>(std::min<std::int64_t>(most, perGuest));
    if (paper_.counted()) most = std::min(most, paper_.left());
    return std::max(most, 1);
}

int PrintFlow::printCopies() const {
    // The store may hold anything a hand edit put there: read it as the
    // 16-bit count it always was, and never print more than the sheet allows.
    const auto raw = static_cast<std::int16_t>(settings_.integerForKey(kCopiesKey));
    return std::clamp<int>(raw, 1, kMaxCopies);
}

void PrintFlow::storeCopies(int copies) {
    settings_.setInteger(kCopiesKey, copies);
}

bool PrintFlow::printCurrentPictureWithPrompt(const Data& photo,
                                              const std::vector<std::string>& emails, bool framed) {
    if (paper_.empty()) {
        // A job queued now could not print: the guest is told instead of
        // waiting at the printer.
        GLIMRA_Log::err("printCurrentPictureWithPrompt: the paper is used up (" +
                        paper_.describe() + "); nothing offered");
        const std::string notice = PaperSupply::emptyNoticeForGuest();
        if (guestNotice_) {
            guestNotice_(notice);
        } else if (alert_) {
            alert_(notice);
        }
        return false;
    }
    storeCopies(1);
    std::int64_t mode = settings_.integerForKey(kModeKey);
    if (mode == 0) {
        settings_.setInteger(kModeKey, 1);
        settings_.synchronize();
    }
    int copies = 1;
    if (mode == 3) {
        copies = std::clamp<int>(static_cast<int>(std::min<size_t>(emails.size(), 1000)), 1,
                                 std::min(kMaxEmailCopies, maxCopiesForGuest()));
        GLIMRA_Log::debugf("2010-11-15orlo USING EMAIL Count for Print Copies = [%i]", copies);
        storeCopies(copies);
    }
    if (mode == 2) return printCurrentPicture(photo, Sender::Controller, framed);

    const int result = port_.runQuantitySheet(
        copies, [this](int tag) { return selectPrintCopiesChoiceButtonHit(tag); });
    if (result != kPrintTag) {
        GLIMRA_Log::debugf(
            "printCurrentPictureWithPrompt: quantity sheet closed with [%i], "
            "nothing printed",
            result);
        return false;
    }
    return printCurrentPicture(photo, Sender::Controller, framed);
}

int PrintFlow::selectPrintCopiesChoiceButtonHit(int tag) {
    int copies = printCopies();
    switch (tag) {
        case 1:
            copies = std::min(copies + 1, maxCopiesForGuest());
            break;
        case 2:
            copies = std::max(copies - 1, 1);
            break;
        case 3:
            copies = 1;
            break;
        default:
            break;
    }
    storeCopies(copies);
    GLIMRA_Log::debugf("Inside %s => %s...copies changed to = [%i]", "PrintFlow",
                       "selectPrintCopiesChoiceButtonHit:", copies);
    settings_.synchronize();
    return copies;
}

bool PrintFlow::selectPrintDialogChoiceButtonHit(int tag) {
    if (tag < 1 || tag > 3) {
        GLIMRA_Log::err(stringWithFormat(
            "selectPrintDialogChoiceButtonHit: unknown print dialog mode [%i], kept the old one",
            tag));
        return false;
    }
    settings_.setInteger(kModeKey, tag);
    GLIMRA_Log::debugf("Inside %s => %s...mode = [%i]", "PrintFlow",
                       "selectPrintDialogChoiceButtonHit:", tag);
    settings_.synchronize();
    return true;
}

void PrintFlow::loadPersistentSetup() {
    if (!sharedInitialised_) {
        shared_ = port_.defaultSetup();
        sharedInitialised_ = true;
    }
    const std::optional<Data> saved = settings_.dataForKey(kPersistentKey);
    if (!saved) return;
    std::string why;
    if (std::optional<PrinterSetup> s = PrinterSetup::unarchive(*saved, &why)) {
        shared_ = *s;
    } else {
        GLIMRA_Log::err("printCurrentPicture: \"persistent printer settings\" unreadable (" + why +
                        "); using the default printer set-up");
    }
}

void PrintFlow::persistSetup() {
    settings_.setObject(kPersistentKey, Value(shared_.archive()));
}

bool PrintFlow::printCurrentPicture(const Data& photo, Sender sender, bool framed) {
    if (photo.empty()) {
        if (alert_) alert_(kNoImage);
        return false;
    }
    int copies = printCopies();
    if (sender == Sender::Controller) copies = std::min(copies, maxCopiesForGuest());
    if (paper_.counted()) {
        const int allowed = paper_.allowedCopies(copies);
        if (allowed == 0) {
            GLIMRA_Log::err("printCurrentPicture: the paper is used up (" + paper_.describe() +
                            "); nothing printed");
            if (alert_) alert_(paper_.emptyNoticeForOperator());
            return false;
        }
        if (allowed < copies) {
            GLIMRA_Log::debugf("printCurrentPicture: %i copies asked, the paper left allows %i",
                               copies, allowed);
            copies = allowed;
        }
    }

    const bool interactive = !printInfoDict_ || sender != Sender::Controller;
    if (interactive) {
        loadPersistentSetup();
        shared_ = port_.runPageSetup(shared_);
        shared_.centerHorizontally = shared_.centerVertically = true;
        shared_.clipHorizontally = shared_.clipVertically = true;
        shared_.leftMarginMM = shared_.topMarginMM = shared_.rightMarginMM =
            shared_.bottomMarginMM = 0;
        persistSetup();
    } else if (!sharedInitialised_) {
        loadPersistentSetup();
    }
    shared_.copies = copies;
    persistSetup();

    const Rect bounds = port_.imageablePageBounds(shared_);
    GLIMRA_Log::debug("current imageablePageBounds: " + describeRect(bounds));

    const Bitmap composite = framed ? decodeFramed(photo) : framedPhoto(photo);
    if (composite.empty()) {
        GLIMRA_Log::err("printCurrentPicture: no composite could be made; nothing printed");
        return false;
    }
    PrintOutcome out = port_.print(composite, shared_, interactive);
    if (interactive) {
        if (out.ok) {
            GLIMRA_Log::debug("successful print operation");
            // What the operator chose in the print dialog (the queue above all)
            // is what the silent prints that follow must use, now and after a
            // restart.
            shared_ = out.setup;
            persistSetup();
            if (!printInfoDict_) printInfoDict_ = shared_.toDictionary();
        } else {
            GLIMRA_Log::debug("UNsuccessful print operation!");
        }
    } else {
        GLIMRA_Log::debug(out.ok ? "successful print operation2222"
                                 : "UNsuccessful print operation2222!");
    }
    GLIMRA_Log::debug("current print info:" + Value(shared_.toDictionary()).description());
    if (out.ok) {
        // The copies the job made, as the print dialog may have changed them.
        const int sheets = out.setup.copies > 0 ? out.setup.copies : copies;
        if (auto notice = paper_.notePrinted(sheets)) {
            GLIMRA_Log::err(*notice);
            if (alert_) alert_(*notice);
        }
    }
    return out.ok;
}

Bitmap PrintFlow::framedPhoto(const Data& photo) {
    const Bitmap frame = resolveArtwork(ArtworkSource::named(frameName_));
    if (frame.empty()) {
        GLIMRA_Log::err("printCurrentPicture: print frame \"" + frameName_ +
                        "\" not found or unreadable; nothing printed");
        return {};
    }
    // The photo only has to cover the frame's window, a fraction of a camera
    // photo: decoding it reduced spares the main thread, which waits on the
    // print, most of the work and memory of a full decode.
    const PrintCompositeLayout layout = printCompositeLayout(frame);
    std::string why;
    // A frame without a window (an empty rectangle) is refused by the
    // composition below, whatever the decode.
    const std::optional<DisplayBitmap> picture =
        decodePhotoToCover(photo, static_cast<int>(layout.photoRect.width),
                           static_cast<int>(layout.photoRect.height), &why);
    if (!picture) {
        GLIMRA_Log::err("printCurrentPicture: the photo cannot be decoded (" + why +
                        "); nothing printed");
        return {};
    }
    return composeInWindow(frame, layout, picture->bitmap);
}

Bitmap PrintFlow::decodeFramed(const Data& picture) {
    std::string why;
    std::optional<Bitmap> bm = decodeJpegToRGBA(picture, &why);
    if (!bm) {
        GLIMRA_Log::err("printCurrentPicture: the print picture cannot be decoded (" + why + ")");
        return {};
    }
    return std::move(*bm);
}

std::string PrintFlow::frameNameForShots(size_t shots) const {
    // "Frame" -> "Frame4", "/a/frame.png" -> "/a/frame4.png".
    const size_t slash = frameName_.find_last_of('/');
    const size_t dot = frameName_.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    const std::string count = std::to_string(shots);
    return hasExt ? frameName_.substr(0, dot) + count + frameName_.substr(dot) : frameName_ + count;
}

Bitmap PrintFlow::composeShots(const std::vector<Data>& shots, std::string* error) {
    // A frame drawn for this many shots, when the operator has one beside
    // the single photo's frame; else the print frame itself.
    std::string name = frameNameForShots(shots.size());
    Bitmap frame = resolveArtwork(ArtworkSource::named(name));
    if (frame.empty()) {
        name = frameName_;
        frame = resolveArtwork(ArtworkSource::named(name));
    }
    if (frame.empty()) {
        if (error) *error = "the print frame \"" + frameName_ + "\" is missing or unreadable";
        return {};
    }
    // Each shot only has to cover the largest window: decoding it reduced
    // spares most of the work of a full decode.
    int coverW = 0, coverH = 0;
    for (const AlphaFrame& w : frameWindows(frame, false, 10)) {
        coverW = std::max(coverW, static_cast<int>(w.width) + 2);
        coverH = std::max(coverH, static_cast<int>(w.height) + 2);
    }
    if (coverW == 0) {
        if (error) *error = "the print frame \"" + name + "\" has no transparent window";
        return {};
    }
    std::vector<Bitmap> pictures;
    for (size_t i = 0; i < shots.size(); ++i) {
        std::string why;
        std::optional<DisplayBitmap> d = decodePhotoToCover(shots[i], coverW, coverH, &why);
        if (!d) {
            GLIMRA_Log::err("composeShots: shot " + std::to_string(i + 1) + " cannot be decoded (" +
                            why + "); it is left out");
            continue;
        }
        pictures.push_back(std::move(d->bitmap));
    }
    return composeShotsInFrame(port_, frame, pictures, error);
}

Bitmap PrintFlow::compositeImage2(const Bitmap& frame, const Bitmap& photo) {
    return composeInWindow(frame, printCompositeLayout(frame), photo);
}

Bitmap PrintFlow::composeInWindow(const Bitmap& frame, const PrintCompositeLayout& layout,
                                  const Bitmap& photo) {
    if (!layout.valid()) {
        GLIMRA_Log::err("compositeImage2: the print frame has no transparent window " +
                        describe(layout.photoFrame));
        return {};
    }
    // The window is filled with the photo's centre, its aspect kept.
    const Bitmap fitted = centredCropToShape(photo, static_cast<int>(layout.photoRect.width),
                                             static_cast<int>(layout.photoRect.height));
    Bitmap canvas = port_.compositeImage(frame, fitted, layout.photoRect);
    if (canvas.empty() || canvas.width != layout.canvasWidth ||
        canvas.height != layout.canvasHeight) {
        GLIMRA_Log::err("compositeImage2: drawing the composite failed");
        return {};
    }
    // The last composite, for a look after the fact. A real JPEG, so that
    // anything opening the file by its name can read it.
    std::string why;
    const std::optional<Data> jpeg = encodeJpegFromRGBA(canvas, 90, {}, &why);
    if (!jpeg) {
        GLIMRA_Log::err("compositeImage2: composite not encoded: " + why);
    } else {
        const std::string path = fixedPath(kComposedPath);
        const std::string err = writeFileAtomically(std::string(jpeg->begin(), jpeg->end()), path);
        if (!err.empty()) GLIMRA_Log::err("compositeImage2: " + path + " not written: " + err);
    }
    return canvas;
}

}  // namespace klik
