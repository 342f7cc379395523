// The camera panel against the simulated camera: the camera menu as bodies
// come and go, loading from the menu, the controls of a loaded camera,
// refused writes, and the shutter buttons. Loading, writing and unplugging
// run with the camera on one worker thread as libgphoto2 wants it, and
// check that the main thread never called it.

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "SimCameraControllerFixture.h"
#include "log/StringUtils.h"

namespace klik::test {
namespace {

constexpr std::uint32_t kISO = 1026, kTv = 1030, kAv = 1029, kAE = 1024, kBattery = 8,
                        kFirmware = 7;

using CameraPanelSimTest = SimCameraControllerFixture;

TEST_F(CameraPanelSimTest, FirstListedCameraLoadsAndFillsThePanel) {
    start(2, true);
    EXPECT_EQ(menuTitles().size(), 2u);
    auto list = GLIMRA_Camera::cameras();
    ASSERT_TRUE(list && list->size() == 2);
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), list->front());
    EXPECT_TRUE(port.hasCamera());
    EXPECT_EQ(controller->_cameraPanel.indexOfSelectedCameraItem(), 0);
    EXPECT_EQ(ui.count("panel " + currentDescription() + "\nAvailable!"), 1u);

    // Menus hold the camera's allowed values, ordered, and show its values.
    auto& panel = controller->_cameraPanel;
    for (std::uint32_t tag : {kISO, kTv, kAv, kAE}) {
        const auto& items = panel.controlWithTag(tag)->itemTitles();
        EXPECT_GT(items.size(), 2u) << tag;
        EXPECT_TRUE(std::is_sorted(items.begin(), items.end(), [](const auto& a, const auto& b) {
            return numericalCaseInsensitiveCompare(a, b) < 0;
        })) << tag;
    }
    EXPECT_EQ(panel.controlWithTag(kISO)->titleOfSelectedItem(),
              "ISO 100");  // the simulated body starts at 0x48
    EXPECT_EQ(panel.controlWithTag(kFirmware)->stringValue(), "3-1.0.4");
    EXPECT_EQ(panel.controlWithTag(kBattery)->stringValue(), "87 %");
    // The simulated body starts in manual exposure: both dials enabled.
    EXPECT_TRUE(panel.controlWithTag(kTv)->isEnabled());
    EXPECT_TRUE(panel.controlWithTag(kAv)->isEnabled());
    expectWorkerRulesKept();
}

TEST_F(CameraPanelSimTest, DialAndShutterButtonsReachTheCameraAndABusyListShowsNoCameras) {
    start(1);
    // A busy list lock shows no cameras until the next update.
    {
        std::unique_lock hold(GLIMRA_Camera::listLockForTesting());
        controller->cameraListUpdated(port.cameras());
        EXPECT_EQ(menuTitles(), std::vector<std::string>{"No Cameras available"});
    }
    controller->cameraListUpdated(port.cameras());
    EXPECT_EQ(menuTitles().size(), 1u);
    EXPECT_EQ(controller->_cameraPanel.indexOfSelectedCameraItem(), 0);
    settle();

    auto& panel = controller->_cameraPanel;
    sim->turnDial(1, kCamPropID_AEMode, 1);  // Tv priority
    ASSERT_TRUE(pumpUntil([&] { return !panel.controlWithTag(kAv)->isEnabled(); }));
    EXPECT_TRUE(panel.controlWithTag(kTv)->isEnabled());
    EXPECT_EQ(panel.controlWithTag(kAE)->titleOfSelectedItem(), "Shutter-Speed Priority AE");
    sim->turnDial(1, kCamPropID_AEMode, 0);  // program: neither
    ASSERT_TRUE(pumpUntil([&] { return !panel.controlWithTag(kTv)->isEnabled(); }));
    EXPECT_FALSE(panel.controlWithTag(kAv)->isEnabled());

    // The shutter buttons queue and send their commands.
    controller->pressShutterHalf();
    settle();
    controller->releaseShutter();
    settle();
    std::vector<std::int32_t> shutter;
    for (const auto& c : sim->sentCommands())
        if (!c.status && c.command == kCamCommand_PressShutterButton) shutter.push_back(c.param);
    EXPECT_EQ(shutter,
              (std::vector<std::int32_t>{static_cast<std::int32_t>(kCamShutterButton_Halfway),
                                         static_cast<std::int32_t>(kCamShutterButton_OFF)}));
    EXPECT_EQ(GLIMRA_Camera::loadedCamera()->queuedCommandCount(), 0u);
}

TEST_F(CameraPanelSimTest, ChoosingInTheMenuWritesRefusedWritesRestoreAndTheMenuFollowsPlugs) {
    start(1, true);
    auto& iso = *controller->_cameraPanel.controlWithTag(kISO);
    const std::string target = "ISO 400";  // 0x58
    ASSERT_TRUE(iso.selectItemWithTitle(target));
    controller->setCameraProperty(iso);
    settle();
    EXPECT_EQ(sim->propertyValue(1, kISO), 0x58u);
    EXPECT_EQ(iso.titleOfSelectedItem(), target);

    // The camera refuses: beep, and the control shows the camera's value.
    sim->setFault("CamSetPropertyData", SimFault{0x2, 0, -1, kISO});
    const std::string other = "ISO 100";  // 0x48
    ASSERT_TRUE(iso.selectItemWithTitle(other));
    const size_t beeps = ui.count("beep");
    controller->setCameraProperty(iso);
    // The write and the read-back run in the background.
    ASSERT_TRUE(pumpUntil([&] { return ui.count("beep") == beeps + 1; }));
    ASSERT_TRUE(pumpUntil([&] { return iso.titleOfSelectedItem() == target; }));
    settle();
    EXPECT_EQ(ui.count("beep"), beeps + 1);
    EXPECT_EQ(sim->propertyValue(1, kISO), 0x58u);
    controller->setCameraClockToCurrent();
    settle();

    // The menu follows plug and unplug.
    const auto first = GLIMRA_Camera::loadedCamera();
    sim->plugCamera(spec(2));
    ASSERT_TRUE(pumpUntil([&] { return menuTitles().size() == 2; }));
    settle();
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), first);  // the current camera stays
    const auto& items = controller->_cameraPanel.cameraItems();
    const int selected = controller->_cameraPanel.indexOfSelectedCameraItem();
    ASSERT_GE(selected, 0);
    ASSERT_TRUE(items[static_cast<size_t>(selected)].camera);
    EXPECT_EQ(port.cameraFor(*items[static_cast<size_t>(selected)].camera), first);
    const std::string second = items[static_cast<size_t>(1 - selected)].title;

    // The camera that goes is not the current one: only the notice.
    ASSERT_TRUE(sim->unplugCamera(2));
    ASSERT_TRUE(pumpUntil([&] { return menuTitles().size() == 1; }));
    settle();
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), first);
    EXPECT_EQ(ui.count("panel " + second + "\nDISCONNECTED!"), 1u);

    // The current camera goes: no camera, empty menus.
    const std::string name = currentDescription();
    ASSERT_TRUE(sim->unplugCamera(1));
    ASSERT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() == nullptr; }));
    ASSERT_TRUE(pumpUntil(
        [&] { return menuTitles() == std::vector<std::string>{"No Cameras available"}; }));
    settle();
    EXPECT_EQ(ui.count("panel " + name + "\nDISCONNECTED!"), 1u);
    EXPECT_FALSE(port.hasCamera());
    EXPECT_TRUE(controller->_cameraPanel.controlWithTag(kISO)->itemTitles().empty());
    EXPECT_EQ(controller->_cameraPanel.controlWithTag(kBattery)->stringValue(), "");
    // The guest-side "no camera" announcement carries no camera; choosing
    // the placeholder, or out of range, loads nothing.
    const std::string noCamera = "panel NO Camera Found!!!\nPlease Check Your Connection!";
    const size_t notices = ui.count(noCamera);
    NotificationCenter::defaultCenter().post(GLIMRA_CameraDidUnload);
    EXPECT_EQ(ui.count(noCamera), notices + 1);
    const int opens = sim->callCount("CamOpenSession");
    controller->chooseCamera(0);
    controller->chooseCamera(5);  // logged
    settle();
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), nullptr);
    EXPECT_EQ(sim->callCount("CamOpenSession"), opens);

    // A new body becomes current by itself.
    sim->plugCamera(spec(3));
    ASSERT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() != nullptr; }));
    settle();
    EXPECT_EQ(menuTitles().size(), 1u);
    EXPECT_FALSE(controller->_cameraPanel.controlWithTag(kISO)->itemTitles().empty());
    expectWorkerRulesKept();
}

// The panel and the screen sequence (the camera port) name the same camera
// at every moment, also while the camera's announcements of a change are
// still on their way to the main thread, which is not turned here.
TEST_F(CameraPanelSimTest, PanelAndPortAgreeOnTheCameraBeforeTheNewsArrives) {
    start(2);
    const auto list = *GLIMRA_Camera::cameras();
    ASSERT_EQ(GLIMRA_Camera::loadedCamera().get(), list[0].get());
    const int secondId = list[1]->description().find("Sim Body 2") != std::string::npos ? 2 : 1;
    const auto withoutMainLoop = [](const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        return done();
    };

    // Replaced: the operator loads the other camera.
    controller->chooseCamera(1);
    ASSERT_TRUE(withoutMainLoop([&] { return list[1]->isLoaded(); }));
    EXPECT_TRUE(port.hasCamera());
    EXPECT_EQ(GLIMRA_Camera::loadedCamera().get(), list[1].get());
    // The shutter button goes to the camera the kiosk shoots with.
    const int commands = sim->callCount("CamSendCommand");
    controller->pressShutterHalf();
    ASSERT_TRUE(withoutMainLoop([&] { return sim->callCount("CamSendCommand") > commands; }));
    settle();
    const auto sent = sim->sentCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().command, kCamCommand_PressShutterButton);
    EXPECT_EQ(sent.back().cameraId, secondId);
    EXPECT_EQ(controller->_cameraPanel.indexOfSelectedCameraItem(), 1);

    // Unplugged while the panel shows it: neither side goes on naming it.
    ASSERT_TRUE(sim->unplugCamera(secondId));
    ASSERT_TRUE(withoutMainLoop([&] { return !port.hasCamera(); }));
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), nullptr);
    const int sentBefore = sim->callCount("CamSendCommand");
    controller->pressShutterFull();  // no camera: nothing is sent

    // Once the news arrives the other camera is loaded from the list; both
    // sides name it.
    ASSERT_TRUE(pumpUntil([&] { return GLIMRA_Camera::loadedCamera() == list[0]; }));
    EXPECT_TRUE(port.hasCamera());
    settle();
    EXPECT_EQ(sim->callCount("CamSendCommand"), sentBefore);
    EXPECT_EQ(ui.count("panel " + list[1]->description() + "\nDISCONNECTED!"), 1u);
}

TEST_F(CameraPanelSimTest, LoadingFromTheMenu) {
    start(2);
    const auto list = *GLIMRA_Camera::cameras();
    const int opens = sim->callCount("CamOpenSession");
    // The current camera again: nothing loads, nothing changes.
    const auto before = controller->_cameraPanel.revision();
    controller->chooseCamera(0);
    settle();
    EXPECT_EQ(sim->callCount("CamOpenSession"), opens);
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), list[0]);
    EXPECT_EQ(controller->_cameraPanel.revision(), before);

    controller->chooseCamera(1);
    settle();
    EXPECT_EQ(GLIMRA_Camera::loadedCamera(), list[1]);
    EXPECT_FALSE(list[0]->isLoaded());
    EXPECT_EQ(controller->_cameraPanel.indexOfSelectedCameraItem(), 1);
    EXPECT_EQ(ui.count("panel " + list[1]->description() + "\nAvailable!"), 1u);
    EXPECT_FALSE(controller->_cameraPanel.controlWithTag(kISO)->itemTitles().empty());

    // A camera that fails to load stays in the menu only.
    sim->setFault("CamOpenSession", SimFault{0x2, 0, 1, std::nullopt});
    controller->chooseCamera(0);
    settle();
    EXPECT_NE(GLIMRA_Camera::loadedCamera(), list[0]);
    EXPECT_EQ(menuTitles().size(), 2u);
}

}  // namespace
}  // namespace klik::test
