#include "ui/print/QuantitySheet.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "log/Log.h"

namespace klik {

QuantitySheet::QuantitySheet(int copies, std::function<int(int tag)> copiesButton, QWidget* parent)
    : QDialog(parent), copiesButton_(std::move(copiesButton)) {
    setObjectName("printQuantityWindow");
    setWindowTitle(tr("Copies"));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(tr("How many prints?"), this);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);
    label_ = new QLabel(this);
    label_->setObjectName("copiesField");
    label_->setAlignment(Qt::AlignCenter);
    QFont big = label_->font();
    big.setPointSize(big.pointSize() * 3);
    label_->setFont(big);
    layout->addWidget(label_);

    auto makeButton = [this](const QString& text, int tag, QBoxLayout* row) {
        auto* b = new QPushButton(text, this);
        b->setProperty("tag", tag);
        b->setAutoDefault(false);
        row->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, tag] { buttonHit(tag); });
        return b;
    };
    auto* counts = new QHBoxLayout;
    makeButton(QStringLiteral("\u2212"), kMinusTag, counts);
    makeButton(tr("Reset"), kResetTag, counts);
    makeButton(QStringLiteral("+"), kPlusTag, counts);
    layout->addLayout(counts);
    auto* ends = new QHBoxLayout;
    makeButton(tr("Cancel"), kCancelTag, ends);
    makeButton(tr("Print"), kPrintTag, ends)->setDefault(true);
    layout->addLayout(ends);
    showCopies(copies);
}

QAbstractButton* QuantitySheet::buttonWithTag(int tag) const {
    for (QAbstractButton* b : findChildren<QAbstractButton*>()) {
        bool ok = false;
        if (b->property("tag").toInt(&ok) == tag && ok) return b;
    }
    return nullptr;
}

void QuantitySheet::buttonHit(int tag) {
    if (tag == kPlusTag || tag == kMinusTag || tag == kResetTag) {
        if (copiesButton_) showCopies(copiesButton_(tag));
        return;
    }
    GLIMRA_Log::debugf("closePrintQtySheet: sheet ended with tag [%i]", tag);
    done(tag);
}

void QuantitySheet::showCopies(int copies) {
    copies_ = copies;
    label_->setText(QString::number(copies));
}

}  // namespace klik
