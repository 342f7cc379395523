#include "ui/print/QtPrintPort.h"

#include <QFileInfo>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <filesystem>

#include "log/Log.h"
#include "ui/print/BitmapImage.h"
#include "ui/print/CupsQueue.h"
#include "ui/print/NextFreePath.h"
#include "ui/print/QuantitySheet.h"

namespace klik {

namespace {

// The page size a set-up names: its own millimetres first, then a known
// name ("A4", "Letter", ...), else none.
std::optional<QPageSize> pageSizeOf(const PrinterSetup& setup) {
    if (setup.paperWidthMM > 0 && setup.paperHeightMM > 0)
        return QPageSize(QSizeF(setup.paperWidthMM, setup.paperHeightMM), QPageSize::Millimeter,
                         QString::fromStdString(setup.paperName));
    if (setup.paperName.empty()) return std::nullopt;
    const QString wanted = QString::fromStdString(setup.paperName);
    for (int id = 0; id <= QPageSize::LastPageSize; ++id) {
        const auto sid = static_cast<QPageSize::PageSizeId>(id);
        if (QPageSize::key(sid).compare(wanted, Qt::CaseInsensitive) == 0 ||
            QPageSize::name(sid).compare(wanted, Qt::CaseInsensitive) == 0)
            return QPageSize(sid);
    }
    GLIMRA_Log::errf("printer set-up: unknown paper [%s]; the printer's default is used",
                     setup.paperName.c_str());
    return std::nullopt;
}

}  // namespace

QtPrintPort::QtPrintPort(QWidget* parent) : parent_(parent) {}

QWidget* QtPrintPort::dialogParent() const {
    if (parentSource_) return parentSource_();
    return parent_;
}

void QtPrintPort::notice(const std::string& text) const {
    GLIMRA_Log::err("print: " + text);
    if (notice_) notice_(text);
}

bool QtPrintPort::queueReadyFor(const std::string& queue) {
    // A job sent earlier may have failed after it was taken: say so once.
    if (lastJobId_ > 0) {
        if (std::optional<CupsJobState> job = readCupsJob(lastJobQueue_, lastJobId_)) {
            if (job->failed())
                notice("The earlier print (job " + std::to_string(job->id) + " on \"" +
                       lastJobQueue_ + "\") " + describe(job->state) +
                       (job->message.empty() ? std::string() : ": " + job->message) + ".");
            if (job->finished()) lastJobId_ = 0;
        } else {
            lastJobId_ = 0;
        }
    }
    const CupsQueueState q = readCupsQueue(queue);
    GLIMRA_Log::debugf("print: printer [%s] %s, %s jobs%s%s", queue.c_str(), describe(q.state),
                       q.accepting ? "accepting" : "refusing", q.reasons.empty() ? "" : ", ",
                       q.reasons.empty() ? "" : q.reasons.front().c_str());
    // Paper out or a ribbon used up does not stop the queue: the job waits
    // in the printer, so the operator is told while it can still be mended.
    const std::string supplies = q.suppliesProblem();
    if (supplies != lastSuppliesNotice_) {
        lastSuppliesNotice_ = supplies;
        if (!supplies.empty()) {
            GLIMRA_Log::err("print: " + supplies);
            notice(supplies);
        }
    }
    if (q.canPrint()) return true;
    notice(q.problem() + " Nothing was printed." +
           (q.found ? " Resume the printer in Preferences > Printer." : ""));
    return false;
}

bool QtPrintPort::jobTaken(const std::string& queue, int lastIdBefore) {
    const int id = lastCupsJobId(queue);
    if (id <= lastIdBefore) {
        notice("Printer \"" + queue + "\" did not take the print. Nothing was printed.");
        return false;
    }
    const std::optional<CupsJobState> job = readCupsJob(queue, id);
    if (job && job->failed()) {
        std::string why = job->message;
        for (const auto& r : job->reasons) why += (why.empty() ? "" : ", ") + r;
        notice("The print (job " + std::to_string(id) + " on \"" + queue + "\") " +
               describe(job->state) + (why.empty() ? std::string() : ": " + why) + ".");
        return false;
    }
    lastJobQueue_ = queue;
    lastJobId_ = id;
    const CupsQueueState q = readCupsQueue(queue);
    if (q.found && q.state == CupsQueueState::State::Stopped) {
        std::string why = q.message;
        for (const auto& r : q.reasons) why += (why.empty() ? "" : ", ") + r;
        notice("Printer \"" + queue + "\" stopped" + (why.empty() ? "" : " (" + why + ")") +
               ": the print (job " + std::to_string(id) +
               ") waits until the printer is resumed in Preferences > Printer.");
        return false;
    }
    GLIMRA_Log::debugf("print: job %d on [%s] is %s", id, queue.c_str(),
                       job ? describe(job->state) : "unknown");
    return true;
}

void QtPrintPort::configurePrinter(QPrinter& printer, const PrinterSetup& setup,
                                   const std::string& outputPath) {
    if (!setup.outputFileName.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(outputPath));
    } else {
        printer.setOutputFormat(QPrinter::NativeFormat);
        if (!setup.printerName.empty())
            printer.setPrinterName(QString::fromStdString(setup.printerName));
    }
    if (auto size = pageSizeOf(setup)) printer.setPageSize(*size);
    printer.setPageOrientation(setup.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    printer.setPageMargins(
        QMarginsF(setup.leftMarginMM, setup.topMarginMM, setup.rightMarginMM, setup.bottomMarginMM),
        QPageLayout::Millimeter);
    printer.setCopyCount(std::max(1, setup.copies));
    if (setup.resolutionDPI > 0) printer.setResolution(setup.resolutionDPI);
}

PrinterSetup QtPrintPort::setupFromPrinter(const QPrinter& printer, const PrinterSetup& base) {
    PrinterSetup s = base;
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        s.printerName = printer.printerName().toStdString();
        s.outputFileName.clear();
    }
    const QPageLayout layout = printer.pageLayout();
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    s.paperName = layout.pageSize().key().toStdString();
    s.paperWidthMM = mm.width();
    s.paperHeightMM = mm.height();
    s.landscape = layout.orientation() == QPageLayout::Landscape;
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    s.leftMarginMM = m.left();
    s.topMarginMM = m.top();
    s.rightMarginMM = m.right();
    s.bottomMarginMM = m.bottom();
    s.copies = printer.copyCount();
    s.resolutionDPI = printer.resolution();
    return s;
}

int QtPrintPort::runQuantitySheet(int copies, const std::function<int(int tag)>& copiesButton) {
    if (responder_) {
        // A scripted answer may press copies buttons before it closes the
        // sheet; the bound keeps a runaway script from hanging the kiosk.
        for (int presses = 0; presses < 100; ++presses) {
            const int tag = responder_(kQuantitySheet, QuantitySheet::kPrintTag);
            GLIMRA_Log::debugf("quantity sheet answered [%i] (copies shown %i)", tag, copies);
            if (tag == QuantitySheet::kPlusTag || tag == QuantitySheet::kMinusTag ||
                tag == QuantitySheet::kResetTag) {
                if (copiesButton) copies = copiesButton(tag);
                continue;
            }
            return tag;
        }
        GLIMRA_Log::err("quantity sheet: the responder never closed the sheet; cancelled");
        return QuantitySheet::kCancelTag;
    }
    // Modal over the whole kiosk: nothing behind the sheet takes a touch.
    QuantitySheet sheet(copies, copiesButton, dialogParent());
    sheet.setWindowModality(Qt::ApplicationModal);
    return sheet.exec();
}

PrinterSetup QtPrintPort::defaultSetup() {
    PrinterSetup s;
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (!info.isNull()) {
        s.printerName = info.printerName().toStdString();
        const QPageSize size = info.defaultPageSize();
        if (size.isValid()) {
            s.paperName = size.key().toStdString();
            const QSizeF mm = size.size(QPageSize::Millimeter);
            s.paperWidthMM = mm.width();
            s.paperHeightMM = mm.height();
        }
    }
    return s;
}

PrinterSetup QtPrintPort::runPageSetup(const PrinterSetup& setup) {
    if (responder_) {
        const int answer = responder_(kPageSetup, QDialog::Accepted);
        GLIMRA_Log::debugf("page setup answered [%i]; the set-up is kept as it came", answer);
        return setup;
    }
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, setup, setup.outputFileName);
    QPageSetupDialog dialog(&printer, dialogParent());
    dialog.setWindowModality(Qt::ApplicationModal);
    if (dialog.exec() != QDialog::Accepted) return setup;
    return setupFromPrinter(printer, setup);
}

Rect QtPrintPort::imageablePageBounds(const PrinterSetup& setup) {
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, setup, setup.outputFileName);
    const QPageLayout layout = printer.pageLayout();
    const QRectF full = layout.fullRectPoints();
    const QRectF paint = layout.paintRectPoints();
    // Qt measures from the top; the page's own coordinates start bottom-left.
    return Rect{paint.x(), full.height() - paint.y() - paint.height(), paint.width(),
                paint.height()};
}

Bitmap QtPrintPort::compositeImage(const Bitmap& frame, const Bitmap& photo,
                                   const PixelRect& photoRect) {
    const QImage frameImage = imageFromBitmap(frame);
    const QImage photoImage = imageFromBitmap(photo);
    if (frameImage.isNull() || photoImage.isNull()) {
        GLIMRA_Log::errf("compositeImage: %s picture cannot be drawn",
                         frameImage.isNull() ? "the frame" : "the photo");
        return {};
    }
    if (photoRect.width <= 0 || photoRect.height <= 0) {
        GLIMRA_Log::errf("compositeImage: empty photo place %gx%g", photoRect.width,
                         photoRect.height);
        return {};
    }
    QImage canvas(frameImage.size(), QImage::Format_RGBA8888_Premultiplied);
    if (canvas.isNull()) {
        GLIMRA_Log::errf("compositeImage: no memory for a %ix%i canvas", frame.width, frame.height);
        return {};
    }
    canvas.fill(Qt::transparent);
    // Resample once to the target size with area averaging (a large camera
    // photo shrinks a lot), then place it; the painter only smooths the
    // sub-pixel rest.
    const QRectF target(photoRect.x, photoRect.y, photoRect.width, photoRect.height);
    const QImage scaled =
        photoImage.scaled(std::max(1, qRound(target.width())), std::max(1, qRound(target.height())),
                          Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QPainter painter(&canvas);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(target, scaled);
    painter.drawImage(QPointF(0, 0), frameImage);
    painter.end();
    return bitmapFromImage(canvas);
}

PrintOutcome QtPrintPort::print(const Bitmap& image, const PrinterSetup& setup,
                                bool showPrintDialog) {
    PrintOutcome outcome;
    outcome.setup = setup;
    lastOutputPath_.clear();
    const QImage picture = imageFromBitmap(image);
    if (picture.isNull()) {
        GLIMRA_Log::err("print: no picture to print");
        return outcome;
    }
    std::string outputPath;
    if (!setup.outputFileName.empty()) {
        outputPath = nextFreePath(setup.outputFileName);
        if (outputPath.empty()) {
            GLIMRA_Log::errf("print: no free file name beside [%s]", setup.outputFileName.c_str());
            return outcome;
        }
    }
    QPrinter printer(QPrinter::HighResolution);
    configurePrinter(printer, setup, outputPath);
    if (setup.outputFileName.empty() && !setup.printerName.empty() &&
        QPrinterInfo::printerInfo(QString::fromStdString(setup.printerName)).isNull()) {
        notice("Printer \"" + setup.printerName + "\" does not exist. Nothing was printed.");
        return outcome;
    }
    if (showPrintDialog) {
        int answer = QDialog::Rejected;
        if (responder_) {
            answer = responder_(kPrintDialog, QDialog::Accepted);
            GLIMRA_Log::debugf("print dialog answered [%i]", answer);
        } else {
            QPrintDialog dialog(&printer, dialogParent());
            dialog.setWindowModality(Qt::ApplicationModal);
            answer = dialog.exec();
        }
        if (answer != QDialog::Accepted) {
            GLIMRA_Log::debug("print: the print dialog was cancelled; nothing printed");
            return outcome;
        }
        // The dialog may have moved the job to a file: never replace one.
        if (printer.outputFormat() == QPrinter::PdfFormat) {
            const std::string chosen = printer.outputFileName().toStdString();
            outputPath = nextFreePath(chosen);
            if (outputPath.empty()) {
                GLIMRA_Log::errf("print: no free file name beside [%s]", chosen.c_str());
                return outcome;
            }
            printer.setOutputFileName(QString::fromStdString(outputPath));
        }
    }
    std::string queue;
    int lastIdBefore = 0;
    if (printer.outputFormat() == QPrinter::NativeFormat) {
        queue = printer.printerName().toStdString();
        if (queue.empty()) {
            notice("No printer is set up. Nothing was printed.");
            return outcome;
        }
        if (!queueReadyFor(queue)) return outcome;
        lastIdBefore = lastCupsJobId(queue);
    }
    if (observer_) observer_(printer);
    QPainter painter;
    const std::string target = queue.empty() ? outputPath : "printer \"" + queue + "\"";
    if (!painter.begin(&printer)) {
        notice("The print to " + target + " could not start. Nothing was printed.");
        return outcome;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF area(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size());
    QSizeF size = QSizeF(picture.size()).scaled(area.size(), Qt::KeepAspectRatio);
    const QRectF place(area.x() + (area.width() - size.width()) / 2,
                       area.y() + (area.height() - size.height()) / 2, size.width(), size.height());
    painter.drawImage(place, picture);
    if (!painter.end() || printer.printerState() == QPrinter::Error) {
        notice("The print to " + target + " failed. Nothing was printed.");
        return outcome;
    }
    if (!outputPath.empty()) {
        std::error_code ec;
        if (!std::filesystem::is_regular_file(outputPath, ec)) {
            notice("The print file " + outputPath + " was not written.");
            return outcome;
        }
        lastOutputPath_ = outputPath;
        GLIMRA_Log::debugf("print: wrote [%s] (%i copies asked)", outputPath.c_str(),
                           printer.copyCount());
    } else {
        GLIMRA_Log::debugf("print: job sent to [%s] (%i copies)", queue.c_str(),
                           printer.copyCount());
        if (!jobTaken(queue, lastIdBefore)) return outcome;
    }
    outcome.ok = true;
    outcome.setup = setupFromPrinter(printer, setup);
    return outcome;
}

}  // namespace klik
