#include "ui/prefs/PrinterStatusPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/PrinterSetup.h"
#include "ui/print/CupsQueue.h"

namespace klik {

namespace {
constexpr const char* kPersistentKey = "persistent printer settings";
}  // namespace

PrinterStatusPanel::PrinterStatusPanel(Settings& settings, QWidget* parent)
    : QWidget(parent), settings_(settings) {
    setObjectName(QStringLiteral("printerStatus"));
    auto* layout = new QVBoxLayout(this);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("printerName"));
    QFont f = title_->font();
    f.setBold(true);
    title_->setFont(f);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("printerState"));
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout;
    resume_ = new QPushButton(tr("Resume printer"), this);
    resume_->setObjectName(QStringLiteral("resumePrinter"));
    resume_->setToolTip(tr("Enable the queue and let it accept jobs again"));
    check_ = new QPushButton(tr("Check again"), this);
    check_->setObjectName(QStringLiteral("checkPrinter"));
    buttons->addWidget(resume_);
    buttons->addWidget(check_);
    buttons->addStretch();
    layout->addWidget(title_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    layout->addStretch();
    connect(resume_, &QPushButton::clicked, this, [this] { resume(); });
    connect(check_, &QPushButton::clicked, this, [this] { refresh(); });
}

QString PrinterStatusPanel::statusText() const {
    return status_->text();
}

void PrinterStatusPanel::refresh() {
    PrinterSetup setup;
    if (const std::optional<Data> saved = settings_.dataForKey(kPersistentKey)) {
        std::string why;
        if (auto s = PrinterSetup::unarchive(*saved, &why))
            setup = *s;
        else
            GLIMRA_Log::errf("printer status: the saved set-up is unreadable (%s)", why.c_str());
    }
    if (!setup.outputFileName.empty()) {
        queue_.clear();
        title_->setText(tr("Prints go to PDF files"));
        status_->setText(QString::fromStdString("Next to " + setup.outputFileName));
        resume_->setEnabled(false);
        return;
    }
    queue_ = setup.printerName.empty() ? defaultCupsQueue() : setup.printerName;
    if (queue_.empty()) {
        title_->setText(tr("No printer"));
        status_->setText(
            tr("No printer is chosen and the print service names no default "
               "printer. The first print asks for one."));
        resume_->setEnabled(false);
        return;
    }
    const CupsQueueState q = readCupsQueue(queue_);
    title_->setText(tr("Printer \"%1\"").arg(QString::fromStdString(queue_)));
    if (q.canPrint()) {
        std::string text = std::string("Ready: ") + describe(q.state) + ", accepting jobs";
        if (!q.reasons.empty()) text += " (" + q.reasons.front() + ")";
        status_->setText(QString::fromStdString(text) + QLatin1Char('.'));
    } else {
        status_->setText(QString::fromStdString(q.problem()));
    }
    // The paper and the ink, toner or ribbon, as the printer reports them.
    std::string supplies = q.suppliesSummary();
    if (!supplies.empty()) supplies = "Supplies: " + supplies + ".";
    const std::string wanting = q.suppliesProblem();
    if (!wanting.empty()) supplies += (supplies.empty() ? "" : "\n") + wanting;
    if (!supplies.empty())
        status_->setText(status_->text() + QLatin1Char('\n') + QString::fromStdString(supplies));
    resume_->setEnabled(q.found && !q.canPrint());
}

bool PrinterStatusPanel::resume() {
    if (queue_.empty()) refresh();
    if (queue_.empty()) return false;
    std::string why;
    const bool ok = resumeCupsQueue(queue_, &why);
    refresh();
    if (!ok)
        status_->setText(status_->text() + QLatin1Char('\n') +
                         tr("Resuming failed: %1").arg(QString::fromStdString(why)));
    return ok;
}

}  // namespace klik
