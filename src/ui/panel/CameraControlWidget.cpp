#include "ui/panel/CameraControlWidget.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <chrono>

#include "app/AppController.h"
#include "app/CameraControl.h"
#include "camera/sdk/CamSDK.h"

namespace klik {

namespace {

// Read-outs of the camera's state; the operator cannot write them.
bool isReadOnly(std::uint32_t tag) {
    return tag == kCamPropID_BatteryLevel || tag == kCamPropID_BatteryQuality ||
           tag == kCamPropID_FirmwareVersion;
}

QDateTime toQDateTime(const Date& when) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(when.time_since_epoch()).count();
    return QDateTime::fromMSecsSinceEpoch(ms);
}

Date fromQDateTime(const QDateTime& when) {
    return Date(std::chrono::duration_cast<Date::duration>(
        std::chrono::milliseconds(when.toMSecsSinceEpoch())));
}

}  // namespace

CameraControlWidget::CameraControlWidget(AppController& app, CameraControl& control,
                                         QWidget* parent)
    : QWidget(parent), app_(app), control_(control) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    const QString name = QStringLiteral("control%1").arg(control.tag());
    setObjectName(name);
    if (control.isPopUpMenu()) {
        menu_ = new QComboBox(this);
        menu_->setObjectName(name + QStringLiteral("Menu"));
        // activated comes from the operator only, never from setCurrentIndex.
        connect(menu_, &QComboBox::activated, this, &CameraControlWidget::menuChosen);
        layout->addWidget(menu_);
    } else if (control.isTextField()) {
        field_ = new QLineEdit(this);
        field_->setObjectName(name + QStringLiteral("Field"));
        field_->setReadOnly(isReadOnly(control.tag()));
        connect(field_, &QLineEdit::editingFinished, this, &CameraControlWidget::fieldEdited);
        layout->addWidget(field_);
    } else {
        picker_ = new QDateTimeEdit(this);
        picker_->setObjectName(name + QStringLiteral("Clock"));
        picker_->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        picker_->setCalendarPopup(true);
        // Program changes are made with signals blocked, so a change seen
        // here is the operator's.
        connect(picker_, &QDateTimeEdit::dateTimeChanged, this, [this] { dateTouched_ = true; });
        connect(picker_, &QDateTimeEdit::editingFinished, this, &CameraControlWidget::dateEdited);
        layout->addWidget(picker_);
    }
    refresh();
}

void CameraControlWidget::refresh() {
    setEnabled(control_.isEnabled());
    if (menu_) {
        const QSignalBlocker quiet(menu_);
        const auto& titles = control_.itemTitles();
        bool same = menu_->count() == static_cast<int>(titles.size());
        for (int i = 0; same && i < menu_->count(); ++i)
            same = menu_->itemText(i) == QString::fromStdString(titles[static_cast<size_t>(i)]);
        if (!same) {
            menu_->clear();
            for (const auto& t : titles) menu_->addItem(QString::fromStdString(t));
        }
        menu_->setCurrentIndex(control_.indexOfSelectedItem());
        menu_->setToolTip(QString::fromStdString(control_.toolTip()));
    } else if (field_) {
        if (field_->hasFocus() && !field_->isReadOnly()) return;
        const QSignalBlocker quiet(field_);
        field_->setText(QString::fromStdString(control_.stringValue()));
    } else if (picker_) {
        // The clock ticks every second; it must not overwrite what the
        // operator is typing.
        if (picker_->hasFocus()) return;
        const QSignalBlocker quiet(picker_);
        if (control_.dateValue()) picker_->setDateTime(toQDateTime(*control_.dateValue()));
    }
}

void CameraControlWidget::menuChosen(int index) {
    if (index < 0 || index >= menu_->count()) return;
    control_.selectItemWithTitle(menu_->itemText(index).toStdString());
    app_.setCameraProperty(control_);
}

void CameraControlWidget::fieldEdited() {
    if (field_->isReadOnly()) return;
    const std::string text = field_->text().toStdString();
    // editingFinished also comes when the field merely loses the focus.
    if (text == control_.stringValue()) return;
    control_.setStringValue(text);
    app_.setCameraProperty(control_);
}

void CameraControlWidget::dateEdited() {
    // editingFinished also comes when the picker merely loses the focus.
    if (!dateTouched_) return;
    dateTouched_ = false;
    control_.setDateValue(fromQDateTime(picker_->dateTime()));
    app_.setCameraProperty(control_);
}

}  // namespace klik
