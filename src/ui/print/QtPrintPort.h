#pragma once
// Printing over Qt's print support: the quantity sheet, the page set-up and
// print dialogs, the page geometry, the framed composite and the print job
// (a CUPS queue named by the set-up, or a PDF file when the set-up names
// one; an existing file is never replaced, the next free name beside it is
// written instead).
//
// A job for a queue is only reported as printed when the spooler took it
// and neither the queue nor the job stopped: the queue's state is read
// before the job (a paused, refusing or missing queue gets no job) and the
// job's and the queue's after it. What went wrong goes to the log and, as
// one sentence for the operator, to the notice sink (the HUD).
//
// GUI thread only; the dialogs and the job block. With a dialog responder
// no dialog is shown: each is answered by the responder.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "photo/PrintPort.h"

class QPrinter;

namespace klik {

class QtPrintPort : public PrintPort {
  public:
    // Dialog names handed to the responder.
    static constexpr const char* kQuantitySheet = "quantity sheet";
    static constexpr const char* kPageSetup = "page setup";
    static constexpr const char* kPrintDialog = "print dialog";

    using DialogResponder = std::function<int(const std::string& dialogName, int defaultAnswer)>;
    using JobObserver = std::function<void(const QPrinter& printer)>;
    using NoticeSink = std::function<void(const std::string& text)>;
    using ParentSource = std::function<QWidget*()>;

    // `parent` (borrowed, may be null) carries the sheet and the dialogs.
    explicit QtPrintPort(QWidget* parent = nullptr);

    // Scripted runs: answers every dialog instead of showing it. The
    // quantity sheet's default answer is 100 (print), the dialogs' is 1
    // (accept); an answer of 1, 2 or 3 to the sheet presses that copies
    // button and asks again. The page set-up keeps the incoming set-up.
    void setDialogResponder(DialogResponder r) { responder_ = std::move(r); }
    // Called with the configured printer just before a job is drawn (tests,
    // diagnostics).
    void setJobObserver(JobObserver o) { observer_ = std::move(o); }
    void setParent(QWidget* parent) { parent_ = parent; }
    // The window that carries the sheet and the dialogs, asked each time
    // one is shown (the visible touch window); wins over setParent.
    void setParentSource(ParentSource s) { parentSource_ = std::move(s); }
    // Where the operator is told about a print that did not happen.
    void setNoticeSink(NoticeSink s) { notice_ = std::move(s); }
    // The file the last PDF job wrote ("" for a queue or a failed job).
    const std::string& lastOutputPath() const { return lastOutputPath_; }

    int runQuantitySheet(int copies, const std::function<int(int tag)>& copiesButton) override;
    PrinterSetup defaultSetup() override;
    PrinterSetup runPageSetup(const PrinterSetup& setup) override;
    Rect imageablePageBounds(const PrinterSetup& setup) override;
    Bitmap compositeImage(const Bitmap& frame, const Bitmap& photo,
                          const PixelRect& photoRect) override;
    PrintOutcome print(const Bitmap& image, const PrinterSetup& setup,
                       bool showPrintDialog) override;

    // `setup` applied to `printer` (queue or PDF file to `outputPath`, page,
    // orientation, margins, copies, resolution). GUI thread.
    static void configurePrinter(QPrinter& printer, const PrinterSetup& setup,
                                 const std::string& outputPath);
    // The set-up `printer` holds, over `base` (which keeps its file name).
    static PrinterSetup setupFromPrinter(const QPrinter& printer, const PrinterSetup& base);

  private:
    QWidget* dialogParent() const;
    void notice(const std::string& text) const;
    // Queue checks around a job: false (told) when the job must not be
    // sent, or did not print.
    bool queueReadyFor(const std::string& queue);
    bool jobTaken(const std::string& queue, int lastIdBefore);

    QPointer<QWidget> parent_;
    ParentSource parentSource_;
    NoticeSink notice_;
    // The last job sent to a queue, looked at again before the next one.
    std::string lastJobQueue_;
    int lastJobId_ = 0;
    // The paper and ink the operator was last told of; told again only
    // when it changes.
    std::string lastSuppliesNotice_;
    DialogResponder responder_;
    JobObserver observer_;
    std::string lastOutputPath_;
};

}  // namespace klik
