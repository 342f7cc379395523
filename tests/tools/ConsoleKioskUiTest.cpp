// The headless kiosk's printout.

#include <gtest/gtest.h>

#include <sstream>

#include "app/PrintingKioskUi.h"
#include "app/View.h"

namespace klik::test {
namespace {

TEST(PrintingKioskUiTest, LinesCarryTheTimeAndTheScreenDescription) {
    std::ostringstream out;
    double now = 12.25;
    PrintingKioskUi ui(out, [&] { return now; });
    ui.setScreenDescriber(
        [](std::uint32_t n) { return n == 3 ? "(touch3/live3)  countdown" : ""; });
    ui.screenDidChange(3);
    now = 100;
    ui.screenDidChange(0);
    ui.playSound("Grab");
    EXPECT_EQ(out.str(),
              "t=  12.2s  screen 3 (touch3/live3)  countdown\n"
              "t= 100.0s  screen 0\n"
              "t= 100.0s    sound \"Grab\"\n");
}

TEST(PrintingKioskUiTest, WindowOrderIsPrintedOnlyWhenVerbose) {
    std::ostringstream quiet, loud;
    PrintingKioskUi q(quiet, nullptr), l(loud, nullptr, true);
    View v("field");
    for (KioskUi* ui : {static_cast<KioskUi*>(&q), static_cast<KioskUi*>(&l)}) {
        ui->orderFront(KioskWindow::Touch);
        ui->makeFirstResponder(KioskWindow::Touch, v);
    }
    EXPECT_EQ(quiet.str(), "");
    EXPECT_EQ(loud.str(), "t=   0.0s    window: touch to the front\n");
    KioskAlert alert{"WARNING", "details", {"Continue", "Quit"}};
    EXPECT_EQ(q.runAlert(alert), 0);
    EXPECT_NE(quiet.str().find("answered \"Continue\""), std::string::npos);
}

}  // namespace
}  // namespace klik::test
