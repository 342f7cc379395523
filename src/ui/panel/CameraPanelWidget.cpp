#include "ui/panel/CameraPanelWidget.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <cmath>

#include "app/AppController.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/sdk/CamSDK.h"
#include "ui/panel/CameraControlWidget.h"

namespace klik {

CameraPanelWidget::CameraPanelWidget(AppController& app, QWidget* parent)
    : QWidget(parent), app_(app) {
    setObjectName(QStringLiteral("cameraPanel"));
    auto* layout = new QVBoxLayout(this);
    buildMenu(layout);
    buildControls(layout);
    buildButtons(layout);
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setRange(0, 100);
    layout->addWidget(progress_);
    layout->addStretch(1);

    panelObserver_ = app_._cameraPanel.addChangeObserver(
        [this](const CameraControl* control) { modelChanged(control); });
    progressObserver_ =
        app_._progress.addChangeObserver([this](const View&) { refreshProgress(); });
    refreshMenu();
    refreshButtons();
    refreshProgress();
}

CameraPanelWidget::~CameraPanelWidget() {
    app_._cameraPanel.removeChangeObserver(panelObserver_);
    app_._progress.removeChangeObserver(progressObserver_);
}

void CameraPanelWidget::buildMenu(QBoxLayout* layout) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("Camera:"), this));
    cameras_ = new QComboBox(this);
    cameras_->setObjectName(QStringLiteral("camerasButton"));
    cameras_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    // activated comes from the operator only, never from setCurrentIndex.
    connect(cameras_, &QComboBox::activated, this, [this](int index) { app_.chooseCamera(index); });
    row->addWidget(cameras_, 1);
    layout->addLayout(row);
}

void CameraPanelWidget::buildControls(QBoxLayout* layout) {
    auto* box = new QGroupBox(tr("Camera Settings"), this);
    auto* form = new QFormLayout(box);
    for (const auto& control : app_._cameraPanel.controls()) {
        auto* w = new CameraControlWidget(app_, *control, box);
        controls_[control->tag()] = w;
        std::string name = GLIMRA_Camera::stringNameForPropertyID(control->tag());
        if (name.empty()) name = "Property " + std::to_string(control->tag());
        form->addRow(QString::fromStdString(name) + QLatin1Char(':'), w);
    }
    layout->addWidget(box);
}

void CameraPanelWidget::buildButtons(QBoxLayout* layout) {
    auto add = [this](QBoxLayout* row, const QString& name, const QString& title, auto action) {
        auto* b = new QPushButton(title, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, action);
        row->addWidget(b);
    };

    auto* shutter = new QHBoxLayout;
    add(shutter, QStringLiteral("pressShutterFull"), tr("Shutter Full"),
        [this] { app_.pressShutterFull(); });
    add(shutter, QStringLiteral("pressShutterHalf"), tr("Shutter Half"),
        [this] { app_.pressShutterHalf(); });
    add(shutter, QStringLiteral("releaseShutter"), tr("Release Shutter"),
        [this] { app_.releaseShutter(); });
    add(shutter, QStringLiteral("setCameraClockToCurrent"), tr("Set Camera Clock"),
        [this] { app_.setCameraClockToCurrent(); });
    layout->addLayout(shutter);

    auto* zoom = new QHBoxLayout;
    zoomLabel_ = new QLabel(tr("Live View Zoom:"), this);
    zoom->addWidget(zoomLabel_);
    for (std::uint32_t z : {1u, 5u, 10u})
        add(zoom, QStringLiteral("liveViewZoom%1").arg(z), QStringLiteral("%1x").arg(z),
            [this, z] { app_.liveViewZoom(z); });
    zoom->addStretch(1);
    layout->addLayout(zoom);

    struct Drive {
        std::uint32_t code;
        const char* title;
    };
    const Drive drives[] = {{kCamDriveLens_Near3, "<<<"}, {kCamDriveLens_Near2, "<<"},
                            {kCamDriveLens_Near1, "<"},   {kCamDriveLens_Far1, ">"},
                            {kCamDriveLens_Far2, ">>"},   {kCamDriveLens_Far3, ">>>"}};
    auto* focus = new QHBoxLayout;
    focusLabel_ = new QLabel(tr("Live View Focus (near / far):"), this);
    focus->addWidget(focusLabel_);
    for (const Drive& d : drives)
        add(focus, QStringLiteral("liveViewFocus%1").arg(d.code, 0, 16),
            QString::fromLatin1(d.title), [this, code = d.code] { app_.liveViewFocus(code); });
    focus->addStretch(1);
    layout->addLayout(focus);
}

CameraControlWidget* CameraPanelWidget::controlWidget(std::uint32_t tag) const {
    auto it = controls_.find(tag);
    return it == controls_.end() ? nullptr : it->second;
}

QPushButton* CameraPanelWidget::button(const QString& name) const {
    return findChild<QPushButton*>(name);
}

void CameraPanelWidget::refreshButtons() {
    // A body without a vendor control gets no button for it (one that would
    // do nothing); the shutter's full press and release stay.
    const std::uint32_t has = app_._cameraPanel.availableControls();
    auto show = [](QWidget* w, bool on) {
        if (w) w->setHidden(!on);
    };
    show(button(QStringLiteral("pressShutterHalf")), has & camcontrol::HalfPress);
    const bool zoom = has & camcontrol::EvfZoom;
    show(zoomLabel_, zoom);
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->objectName().startsWith(QStringLiteral("liveViewZoom"))) show(b, zoom);
    const bool focus = has & camcontrol::ManualFocusDrive;
    show(focusLabel_, focus);
    for (QPushButton* b : findChildren<QPushButton*>())
        if (b->objectName().startsWith(QStringLiteral("liveViewFocus"))) show(b, focus);
}

void CameraPanelWidget::modelChanged(const CameraControl* control) {
    if (!control) {
        refreshMenu();
        refreshButtons();
        return;
    }
    if (CameraControlWidget* w = controlWidget(control->tag())) w->refresh();
}

void CameraPanelWidget::refreshMenu() {
    const QSignalBlocker quiet(cameras_);
    const auto& items = app_._cameraPanel.cameraItems();
    bool same = cameras_->count() == static_cast<int>(items.size());
    for (int i = 0; same && i < cameras_->count(); ++i)
        same = cameras_->itemText(i) == QString::fromStdString(items[static_cast<size_t>(i)].title);
    if (!same) {
        cameras_->clear();
        for (const auto& item : items) cameras_->addItem(QString::fromStdString(item.title));
    }
    cameras_->setCurrentIndex(app_._cameraPanel.indexOfSelectedCameraItem());
}

void CameraPanelWidget::refreshProgress() {
    progress_->setValue(static_cast<int>(std::lround(app_._progress.doubleValue())));
}

}  // namespace klik
