// The camera panel's controls driven by the camera port's events, without a
// camera: menus, enabling by exposure mode, the camera clock, progress and
// command errors.

#include <chrono>

#include "ControllerFixture.h"
#include "app/CameraPanel.h"
#include "log/StringUtils.h"

namespace klik::test {
namespace {

constexpr std::uint32_t kISO = 1026, kTv = 1030, kAv = 1029, kAE = 1024, kClock = 6;
constexpr std::uint32_t kBattery = 8;

class CameraPanelTest : public ControllerFixture {
  protected:
    CameraPanel& panel() { return controller->_cameraPanel; }
    CameraControl& control(std::uint32_t tag) {
        CameraControl* c = panel().controlWithTag(tag);
        EXPECT_NE(c, nullptr) << tag;
        return *c;
    }
    void propertyChanged(const std::string& name, const Value& display,
                         std::optional<std::uint32_t> id, const Value& raw = {}) {
        camera.listener->cameraPropertyChanged(std::nullopt, name, id.value_or(0), raw, display);
    }
};

TEST_F(CameraPanelTest,
       AllowedValuesFillTheirMenuSortedNumericallyIgnoringCaseAndKeepTheSelection) {
    Dictionary values{{"ISO 1600", Value(0x70)}, {"ISO 100", Value(0x48)}, {"auto", Value(0)},
                      {"ISO 200", Value(0x50)},  {"iso 50", Value(0x40)},  {"F/11", Value(1)},
                      {"f/2.8", Value(2)}};
    controller->updateControlWithTagWithValues(kISO, values);
    const std::vector<std::string> want{"auto",    "f/2.8",   "F/11",    "iso 50",
                                        "ISO 100", "ISO 200", "ISO 1600"};
    EXPECT_EQ(control(kISO).itemTitles(), want);
    ASSERT_TRUE(control(kISO).selectItemWithTitle("ISO 200"));
    // A refresh keeps what was selected.
    values.erase("ISO 1600");
    controller->updateControlWithTagWithValues(kISO, values);
    EXPECT_EQ(control(kISO).titleOfSelectedItem(), "ISO 200");
    EXPECT_EQ(control(kISO).itemTitles().size(), 6u);
    // No values: the menu is emptied.
    controller->updateControlWithTagWithValues(kISO, std::nullopt);
    EXPECT_TRUE(control(kISO).itemTitles().empty());
    EXPECT_EQ(control(kISO).indexOfSelectedItem(), -1);

    // The camera's announcement fills the menu of its tag only.
    camera.listener->cameraPropertyValuesChanged(
        std::nullopt, kTv,
        Dictionary{{"1/125", Value(0x68)}, {"1/60", Value(0x60)}, {"1/1000", Value(0x80)}});
    EXPECT_EQ(control(kTv).itemTitles(), (std::vector<std::string>{"1/60", "1/125", "1/1000"}));
    EXPECT_TRUE(control(kAv).itemTitles().empty());
}

TEST_F(CameraPanelTest, ExposureModeEnablesTheMatchingControls) {
    struct Case {
        Value raw;
        bool tv, av;
    } cases[] = {{Value(3), true, true},   {Value(2), false, true},  {Value(1), true, false},
                 {Value(0), false, false}, {Value(4), false, false}, {Value("3"), false, false}};
    for (const auto& c : cases) {
        controller->setEnabledForAEMode(Value(3));
        controller->setEnabledForAEMode(c.raw);
        EXPECT_EQ(control(kTv).isEnabled(), c.tv) << c.raw.description();
        EXPECT_EQ(control(kAv).isEnabled(), c.av) << c.raw.description();
    }
    // Through the camera's announcement, with its notice.
    propertyChanged("AEMode", Value("Av"), kAE, Value(2));
    EXPECT_FALSE(control(kTv).isEnabled());
    EXPECT_TRUE(control(kAv).isEnabled());
    EXPECT_EQ(control(kAE).titleOfSelectedItem(), "Av");
    EXPECT_EQ(control(kAE).toolTip(), "Av");
    EXPECT_EQ(ui.count("panel (null)\nAuto Exposure set to Av"), 1u);
}

TEST_F(CameraPanelTest, PropertyValuesReachTheirControlsAndNoticesShareOnePanelTime) {
    propertyChanged("BatteryLevel", Value("87 %"), kBattery, Value(87));
    EXPECT_EQ(control(kBattery).stringValue(), "87 %");
    EXPECT_EQ(ui.count("panel (null)\nBATTERY LEVEL now 87 %"), 1u);
    EXPECT_EQ(ui.count("beep"), 1u);
    // A number is shown by the camera's display text for it.
    camera.texts[{kISO, 0x48}] = "ISO 100";
    controller->updateControlWithTagWithValue(kISO, Value(0x48));
    const std::string iso100 = "ISO 100";
    EXPECT_EQ(control(kISO).titleOfSelectedItem(), iso100);
    // A read failure announces the name only: nothing changes.
    const auto before = panel().revision();
    propertyChanged("ISOSpeed", {}, std::nullopt);
    EXPECT_EQ(panel().revision(), before);
    EXPECT_EQ(control(kISO).titleOfSelectedItem(), iso100);

    // Camera notices share one panel time and fade.
    loop.advance(2);
    propertyChanged("BatteryLevel", Value("40 %"), kBattery, Value(40));
    EXPECT_EQ(ui.count("beep"), 1u);  // the second notice restarts the time only
    loop.advance(2);
    EXPECT_EQ(ui.count("panel fade"), 0u);
    loop.advance(1.5);
    EXPECT_EQ(ui.count("panel fade"), 1u);
}

TEST_F(CameraPanelTest, CameraClockShowsTheSkewAndTicks) {
    const Date cameraTime = loop.now() + std::chrono::seconds(90);
    propertyChanged("DateTime", Value(cameraTime), kClock);
    EXPECT_NEAR(controller->cameraClockSkew(), 90.0, 1e-3);
    ASSERT_TRUE(control(kClock).dateValue());
    EXPECT_EQ(*control(kClock).dateValue(), cameraTime);
    loop.advance(1);
    loop.advance(1);
    const auto shown = *control(kClock).dateValue() - loop.now();
    EXPECT_NEAR(std::chrono::duration<double>(shown).count(), 90.0, 1e-3);
    // A camera behind the host.
    propertyChanged("DateTime", Value(loop.now() - std::chrono::seconds(30)), kClock);
    EXPECT_NEAR(controller->cameraClockSkew(), -30.0, 1e-3);
    // Without a date the clock keeps what it had.
    propertyChanged("DateTime", Value("not a date"), kClock);
    EXPECT_NEAR(controller->cameraClockSkew(), -30.0, 1e-3);
    ASSERT_TRUE(controller->cameraClockTimer());
    EXPECT_TRUE(controller->cameraClockTimer()->isValid());
    // Unloading (no camera) stops the clock.
    controller->setCurrentCamera(std::nullopt);
    EXPECT_FALSE(controller->cameraClockTimer());
}

TEST_F(CameraPanelTest, DownloadProgressAndCommandErrorsSetTheBar) {
    std::vector<double> seen;
    controller->_progress.setChangeHandler([&](const View& v) { seen.push_back(v.doubleValue()); });
    for (int p : {10, 55, 100}) camera.listener->cameraDownloadProgress(p);
    EXPECT_EQ(seen, (std::vector<double>{10, 55, 100}));
    controller->_progress.setChangeHandler(nullptr);
    // Out-of-range percentages do not break the bar.
    camera.listener->cameraDownloadProgress(250);
    EXPECT_EQ(controller->_progress.doubleValue(), 100);

    auto fail = [&](bool shot) {
        CameraError error;
        error.description = "{domain = CamError}";
        camera.listener->cameraCommandFailed(std::nullopt, shot, error, "{commandNumber = 4}");
    };
    controller->_progress.setDoubleValue(40);
    fail(false);  // a shutter button command leaves the bar alone
    EXPECT_EQ(controller->_progress.doubleValue(), 40);
    fail(true);  // a failed shot resets it
    EXPECT_EQ(controller->_progress.doubleValue(), 0);
    // A failed command shows no notice of its own.
    for (const auto& call : ui.calls) EXPECT_EQ(call.rfind("panel", 0), std::string::npos) << call;
}

TEST_F(CameraPanelTest, TheControlsOfTheLoadedCameraDecideWhichButtonsTheBodyGets) {
    EXPECT_EQ(controller->_cameraPanel.availableControls(), camcontrol::All);
    // A body without half-press, zoom or focus drive is loaded.
    camera.controlsMask = camcontrol::Autofocus;
    controller->cameraLoaded(camera.current);
    loop.runPending();
    EXPECT_EQ(controller->_cameraPanel.availableControls(), camcontrol::Autofocus);
    // Without a camera nothing is known to be missing.
    camera.connected = false;
    controller->cameraUnloaded(camera.current);
    loop.runPending();
    EXPECT_EQ(controller->_cameraPanel.availableControls(), camcontrol::All);
}

}  // namespace
}  // namespace klik::test
