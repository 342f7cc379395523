#pragma once
// Printing the guest's photo inside the branded print frame: the print
// prompt (copies by dialog mode, the quantity sheet), the page set-up kept
// in the settings across launches, and the print itself. The first print of
// a launch and every operator print show the page set-up and print dialogs;
// prompted prints after a successful one are silent.
//
// Main thread only; operations block for the modal sheet, the dialogs and
// the synchronous print job. The settings and the port are borrowed.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Settings.h"
#include "photo/PaperSupply.h"
#include "photo/PrintComposite.h"
#include "photo/PrintPort.h"

namespace klik {

class PrintFlow {
  public:
    // Who asked for the print: the prompt (the controller itself) or the
    // operator's print command.
    enum class Sender { Controller, Operator };
    using AlertSink = std::function<void(const std::string& text)>;

    static constexpr int kPrintTag = 100;
    static constexpr int kMaxCopies = 9;
    static constexpr int kMaxEmailCopies = 4;

    // `floatingAlert` shows a notice on the floating panel; `frameName` is
    // the print frame artwork (a resource name or a path).
    PrintFlow(Settings& settings, PrintPort& port, AlertSink floatingAlert,
              std::string frameName = "BrandedPhotoFrameForPrint");

    // Where the guest reads why nothing is printed (the review screen);
    // without it the floating panel says it.
    void setGuestNoticeSink(AlertSink guestNotice) { guestNotice_ = std::move(guestNotice); }

    // Sets the copies by dialog mode, runs the quantity sheet when the mode
    // asks for it, then prints. Nothing is offered when the counted paper
    // is used up; the guest is told instead. `photo` is the encoded photo (empty: none).
    // Returns whether something was printed.
    // `framed`: the photo is already a print picture (several shots laid
    // into the frame) and is printed as it is.
    bool printCurrentPictureWithPrompt(const Data& photo, const std::vector<std::string>& emails,
                                       bool framed = false);
    // Composes and prints with "prefPrintCopies" copies. Returns success.
    bool printCurrentPicture(const Data& photo, Sender sender, bool framed = false);

    // The print picture of several shots (encoded photos, in the order
    // taken): the print frame with each transparent window holding one
    // shot. Empty, with the reason in `error`, when the frame is missing,
    // has no window, or no shot decodes (a shot that does not decode is
    // left out and logged). A frame drawn for that many shots, named after
    // the print frame with the count ("BrandedPhotoFrameForPrint4"), is
    // used when there is one.
    Bitmap composeShots(const std::vector<Data>& shots, std::string* error);

    // The quantity sheet's plus (1), minus (2) and reset (3) buttons; other
    // tags change nothing. Stores and returns the copies.
    int selectPrintCopiesChoiceButtonHit(int tag);
    // The preference window's mode choice (1, 2 or 3).
    bool selectPrintDialogChoiceButtonHit(int tag);

    // The framed composite of `photo` in `frame`; also written as a JPEG to
    // "/tmp/myNewComposed.jpg". Empty when the frame has no window or the
    // port could not draw.
    Bitmap compositeImage2(const Bitmap& frame, const Bitmap& photo);

    // The copies a print will make: "prefPrintCopies" as a 16-bit value,
    // held to 1..9.
    int printCopies() const;
    // The most copies the print prompt offers a guest: 9, fewer when
    // "prefMaxPrintsPerGuest" (0 = no limit) or the counted paper left say
    // so; at least 1.
    int maxCopiesForGuest() const;
    PaperSupply& paper() { return paper_; }
    // True once a print of this launch succeeded with its dialogs.
    bool hasPrintInfo() const { return printInfoDict_.has_value(); }
    const PrinterSetup& sharedSetup() const { return shared_; }

  private:
    std::string frameNameForShots(size_t shots) const;
    // The photo in the print frame's window; empty when that fails (logged).
    Bitmap framedPhoto(const Data& photo);
    // A print picture made earlier, decoded; empty when it does not decode.
    static Bitmap decodeFramed(const Data& picture);
    // compositeImage2 with the frame's layout already worked out.
    Bitmap composeInWindow(const Bitmap& frame, const PrintCompositeLayout& layout,
                           const Bitmap& photo);
    void loadPersistentSetup();
    void persistSetup();
    void storeCopies(int copies);

    Settings& settings_;
    PrintPort& port_;
    AlertSink alert_;
    AlertSink guestNotice_;
    PaperSupply paper_;
    std::string frameName_;
    PrinterSetup shared_;
    bool sharedInitialised_ = false;
    std::optional<Dictionary> printInfoDict_;
};

}  // namespace klik
