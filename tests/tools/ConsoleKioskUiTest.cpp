// The console kiosk of `klikctl spine`: what reaches the screen reaches the
// console, and an alert never blocks the unattended run.

#include "tools/ConsoleKioskUi.h"

#include <gtest/gtest.h>

#include <sstream>

#include "app/View.h"

namespace klik::test {
namespace {

bool has(const std::ostringstream& out, const std::string& text) {
    return out.str().find(text) != std::string::npos;
}

TEST(ConsoleKioskUi, ScreensSoundsAlertsTakingTheirFirstButtonAndWhenVerboseWindowOrderAreShown) {
    std::ostringstream out;
    ConsoleKioskUi ui(out, [] { return 12.25; });
    ui.setScreenDescriber([](std::uint32_t n) { return n == 3 ? "countdown" : ""; });
    ui.screenDidChange(3);
    ui.playSound("Grab");
    EXPECT_EQ(ui.runAlert(KioskAlert{"WARNING", "details", {"Continue", "Quit"}}), 0);
    EXPECT_TRUE(has(out, "screen 3 countdown")) << out.str();
    EXPECT_TRUE(has(out, "12.2")) << out.str();
    EXPECT_TRUE(has(out, "\"Grab\"")) << out.str();
    EXPECT_TRUE(has(out, "WARNING")) << out.str();
    EXPECT_TRUE(has(out, "\"Continue\"")) << out.str();
    // Window order only when verbose.
    std::ostringstream quiet, loud;
    ConsoleKioskUi q(quiet, nullptr), l(loud, nullptr, true);
    View v("field");
    for (ConsoleKioskUi* ui : {&q, &l}) {
        ui->orderFront(KioskWindow::Touch);
        ui->makeFirstResponder(KioskWindow::Touch, v);
    }
    EXPECT_EQ(quiet.str(), "");
    EXPECT_TRUE(has(loud, "touch")) << loud.str();
}

}  // namespace
}  // namespace klik::test
