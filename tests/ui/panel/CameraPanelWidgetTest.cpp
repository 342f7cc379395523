// The Qt camera panel over the controller and the simulated camera: the
// camera menu as bodies come and go, choosing a camera, property menus and
// fields, writes reaching the camera, shutter and live-view buttons, and
// the download progress bar.

#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "app/SimCameraControllerFixture.h"
#include "ui/panel/CameraControlWidget.h"
#include "ui/panel/CameraPanelWidget.h"
#include "ui/prefs/PreferencesWindow.h"

namespace klik::test {
namespace {

constexpr std::uint32_t kISO = 1026, kTv = 1030, kAv = 1029, kBattery = 8, kOwner = 4;

class CameraPanelWidgetTest : public SimCameraControllerFixture {
  protected:
    void TearDown() override {
        widget.reset();
        SimCameraControllerFixture::TearDown();
    }
    void makeWidget() { widget = std::make_unique<CameraPanelWidget>(*controller); }

    static QStringList itemsOf(const QComboBox* menu) {
        QStringList out;
        for (int i = 0; i < menu->count(); ++i) out << menu->itemText(i);
        return out;
    }
    QComboBox* menuOf(std::uint32_t tag) const {
        CameraControlWidget* w = widget->controlWidget(tag);
        return w ? w->popUpMenu() : nullptr;
    }
    // The operator picks `title` from a pop-up menu.
    static void pick(QComboBox* menu, const QString& title) {
        const int index = menu->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        menu->setCurrentIndex(index);
        emit menu->activated(index);
    }
    std::vector<std::int32_t> sentParams(std::uint32_t command) const {
        std::vector<std::int32_t> out;
        for (const auto& c : sim->sentCommands())
            if (!c.status && c.command == command) out.push_back(c.param);
        return out;
    }

    std::unique_ptr<CameraPanelWidget> widget;
};

TEST_F(CameraPanelWidgetTest, APluggedCameraIsListedLoadedAndShownWithSortedValues) {
    start(0);
    makeWidget();
    EXPECT_EQ(itemsOf(widget->cameraMenu()), QStringList{"No Cameras available"});
    EXPECT_EQ(menuOf(kISO)->count(), 0);

    sim->plugCamera(spec(1));
    ASSERT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() != nullptr; }));
    settle();
    const QString name = QString::fromStdString(currentDescription());
    EXPECT_EQ(itemsOf(widget->cameraMenu()), QStringList{name});
    EXPECT_EQ(widget->cameraMenu()->currentIndex(), 0);

    // Each pop-up holds what the panel's model holds (the model orders it).
    for (std::uint32_t tag : {kISO, kTv, kAv}) {
        const auto& model = controller->_cameraPanel.controlWithTag(tag)->itemTitles();
        ASSERT_GT(model.size(), 2u) << tag;
        QStringList want;
        for (const auto& t : model) want << QString::fromStdString(t);
        EXPECT_EQ(itemsOf(menuOf(tag)), want) << tag;
    }
    EXPECT_EQ(menuOf(kISO)->currentText().toStdString(),
              "ISO 100");  // the simulated body starts at 0x48
    EXPECT_EQ(menuOf(kISO)->toolTip(), menuOf(kISO)->currentText());
    EXPECT_EQ(widget->controlWidget(kBattery)->textField()->text(), "87 %");
    EXPECT_TRUE(widget->controlWidget(kBattery)->textField()->isReadOnly());

    // Exposure mode on the body: program leaves neither dial enabled.
    EXPECT_TRUE(widget->controlWidget(kTv)->isEnabled());
    sim->turnDial(1, kCamPropID_AEMode, 0);
    ASSERT_TRUE(pumpUntil([&] { return !widget->controlWidget(kTv)->isEnabled(); }));
    EXPECT_FALSE(widget->controlWidget(kAv)->isEnabled());
    settle();
}

TEST_F(CameraPanelWidgetTest, ChoosingInTheCameraMenuLoadsThatCamera) {
    start(2);
    makeWidget();
    const auto list = *GLIMRA_Camera::cameras();
    ASSERT_EQ(widget->cameraMenu()->count(), 2);
    EXPECT_EQ(widget->cameraMenu()->currentIndex(), 0);
    // The operator moves to the second camera with the keyboard.
    QTest::keyClick(widget->cameraMenu(), Qt::Key_Down);
    settle();
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), list[1]);
    EXPECT_EQ(widget->cameraMenu()->currentIndex(), 1);
    EXPECT_GT(menuOf(kISO)->count(), 2);
}

TEST_F(CameraPanelWidgetTest, ChangedValuesAndTheEditedClockReachTheCameraAndRefusedOnesComeBack) {
    start(1);
    makeWidget();
    const QString target = "ISO 400";  // 0x58
    pick(menuOf(kISO), target);
    settle();
    EXPECT_EQ(sim->propertyValue(1, kISO), 0x58u);
    EXPECT_EQ(menuOf(kISO)->currentText(), target);

    // The camera refuses the next one: a beep, and the menu shows the
    // camera's real value again.
    sim->setFault("CamSetPropertyData", SimFault{0x2, 0, -1, kISO});
    const size_t beeps = ui.count("beep");
    pick(menuOf(kISO), "ISO 100");  // 0x48
    settle();
    EXPECT_EQ(ui.count("beep"), beeps + 1);
    EXPECT_EQ(sim->propertyValue(1, kISO), 0x58u);
    ASSERT_TRUE(pumpUntil([&] { return menuOf(kISO)->currentText() == target; }));
    sim->clearFaults();

    // A text typed into the owner field is written when editing ends.
    QLineEdit* owner = widget->controlWidget(kOwner)->textField();
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(owner->isReadOnly());
    const int writes = sim->callCount("CamSetPropertyData");
    owner->setFocus();
    QTest::keyClicks(owner, "Booth 7");
    QTest::keyClick(owner, Qt::Key_Return);
    settle();
    EXPECT_EQ(controller->_cameraPanel.controlWithTag(kOwner)->stringValue(), "Booth 7");
    EXPECT_EQ(sim->callCount("CamSetPropertyData"), writes + 1);
    // Leaving the field without a change writes nothing more.
    owner->clearFocus();
    emit owner->editingFinished();
    settle();
    EXPECT_EQ(sim->callCount("CamSetPropertyData"), writes + 1);

    // The clock ticks with the camera; an edited date is written to it.
    QDateTimeEdit* clock = widget->controlWidget(kCamPropID_DateTime)->datePicker();
    ASSERT_NE(clock, nullptr);
    const QDateTime shown = clock->dateTime();
    ASSERT_TRUE(shown.isValid());
    loop.advance(2.0);  // two ticks of the camera clock
    EXPECT_NEAR(static_cast<double>(shown.secsTo(clock->dateTime())), 2.0, 1.0);

    // The operator sets the clock a day ahead: the camera gets it.
    const int clockWrites = sim->callCount("CamSetPropertyData");
    const QDateTime ahead = clock->dateTime().addDays(1);
    clock->setDateTime(ahead);
    emit clock->editingFinished();
    settle();
    EXPECT_EQ(sim->callCount("CamSetPropertyData"), clockWrites + 1);
    // The body's clock now runs a day ahead of the host's.
    GLIMRA_Camera::loadedCamera()->updateValueForPropertyID(kCamPropID_DateTime);
    settle();
    EXPECT_NEAR(static_cast<double>(ahead.secsTo(clock->dateTime())), 0.0, 5.0);
    EXPECT_NEAR(controller->cameraClockSkew(), 86400.0, 5.0);
    // Leaving the picker again without a change writes nothing.
    emit clock->editingFinished();
    settle();
    EXPECT_EQ(sim->callCount("CamSetPropertyData"), clockWrites + 1);
}

TEST_F(CameraPanelWidgetTest, ABodyWithoutHalfPressZoomOrFocusDriveShowsNoButtonsForThem) {
    start(0);
    makeWidget();
    EXPECT_FALSE(widget->button("pressShutterHalf")->isHidden());
    EXPECT_FALSE(widget->button("liveViewZoom5")->isHidden());
    SimCameraSpec body = spec(1);
    body.controls = kCamControl_Autofocus;
    sim->plugCamera(body);
    ASSERT_TRUE(pumpUntil([&] { return widget->button("pressShutterHalf")->isHidden(); }));
    for (const char* name : {"liveViewZoom1", "liveViewZoom5", "liveViewZoom10", "liveViewFocus1",
                             "liveViewFocus8003"})
        EXPECT_TRUE(widget->button(QString::fromLatin1(name))->isHidden()) << name;
    for (const char* name : {"pressShutterFull", "releaseShutter", "setCameraClockToCurrent"})
        EXPECT_FALSE(widget->button(QString::fromLatin1(name))->isHidden()) << name;
    // Gone: nothing is known to be missing any more.
    sim->unplugCamera(sim->pluggedCameras().front());
    ASSERT_TRUE(pumpUntil([&] { return !widget->button("pressShutterHalf")->isHidden(); }));
    EXPECT_FALSE(widget->button("liveViewZoom5")->isHidden());
}

TEST_F(CameraPanelWidgetTest, ButtonsDriveTheCameraTheBarShowsDownloadsUnplugEmpties) {
    start(1);
    makeWidget();
    for (const char* name : {"pressShutterFull", "pressShutterHalf", "releaseShutter",
                             "setCameraClockToCurrent", "liveViewZoom1", "liveViewZoom5",
                             "liveViewZoom10", "liveViewFocus1", "liveViewFocus8003"})
        EXPECT_NE(widget->button(QString::fromLatin1(name)), nullptr) << name;

    QTest::mouseClick(widget->button("pressShutterHalf"), Qt::LeftButton);
    settle();
    QTest::mouseClick(widget->button("releaseShutter"), Qt::LeftButton);
    settle();
    EXPECT_EQ(sentParams(kCamCommand_PressShutterButton),
              (std::vector<std::int32_t>{static_cast<std::int32_t>(kCamShutterButton_Halfway),
                                         static_cast<std::int32_t>(kCamShutterButton_OFF)}));

    // The lens drive goes out (the body refuses it while live view is off).
    const int sends = sim->callCount("CamSendCommand");
    QTest::mouseClick(widget->button("liveViewFocus8001"), Qt::LeftButton);
    settle();
    EXPECT_EQ(sim->callCount("CamSendCommand"), sends + 1);
    EXPECT_TRUE(sentParams(kCamCommand_DriveLensEvf).empty());

    QTest::mouseClick(widget->button("liveViewZoom5"), Qt::LeftButton);
    settle();
    EXPECT_EQ(sim->propertyValue(1, kCamPropID_Evf_Zoom), 5u);

    const int writes = sim->callCount("CamSetPropertyData");
    QTest::mouseClick(widget->button("setCameraClockToCurrent"), Qt::LeftButton);
    settle();
    EXPECT_EQ(sim->callCount("CamSetPropertyData"), writes + 1);

    EXPECT_EQ(widget->progressBar()->value(), 0);
    NotificationCenter::defaultCenter().post(
        GLIMRA_CameraDownloadProgress, {},
        Dictionary{{GLIMRA_CameraDownloadProgressPercent, Value(42)}});
    loop.runPending();
    EXPECT_EQ(widget->progressBar()->value(), 42);
    controller->clearProgressIndicator();
    EXPECT_EQ(widget->progressBar()->value(), 0);

    // In the preferences window unplugging empties the menu and the controls.
    widget.reset();
    auto prefs = std::make_unique<PreferencesWindow>(settings);
    auto* panel = new CameraPanelWidget(*controller);
    prefs->addCameraPanel(panel);
    EXPECT_EQ(prefs->cameraPanel(), panel);
    EXPECT_EQ(panel->cameraMenu()->count(), 1);
    ASSERT_GT(panel->controlWidget(kISO)->popUpMenu()->count(), 0);
    ASSERT_TRUE(sim->unplugCamera(1));
    ASSERT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() == nullptr; }));
    settle();
    EXPECT_EQ(itemsOf(panel->cameraMenu()), QStringList{"No Cameras available"});
    EXPECT_EQ(panel->controlWidget(kISO)->popUpMenu()->count(), 0);
    EXPECT_EQ(panel->controlWidget(kBattery)->textField()->text(), "");

    // A panel that is gone no longer watches the model.
    prefs.reset();
    controller->updateCameraPopupWithCameras(std::nullopt);
    controller->_progress.setDoubleValue(10);
}

}  // namespace
}  // namespace klik::test
