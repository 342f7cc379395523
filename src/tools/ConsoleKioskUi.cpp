#include "app/PrintingKioskUi.h"

#include <cstdio>

namespace klik {

PrintingKioskUi::PrintingKioskUi(std::ostream& out, std::function<double()> clock, bool verbose)
    : out_(out), clock_(std::move(clock)), verbose_(verbose) {}

void PrintingKioskUi::say(const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "t=%6.1fs  ", clock_ ? clock_() : 0.0);
    out_ << stamp << text << "\n";
    out_.flush();
}

void PrintingKioskUi::orderFront(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " to the front");
}

void PrintingKioskUi::makeKeyAndOrderFront(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " key and in front");
}

void PrintingKioskUi::orderOut(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " ordered out");
}

void PrintingKioskUi::beep() {
    say("  beep");
}

void PrintingKioskUi::playSound(const std::string& name) {
    say("  sound \"" + name + "\"");
}

void PrintingKioskUi::screenDidChange(std::uint32_t n) {
    std::string line = "screen " + std::to_string(n);
    if (describe_) {
        std::string d = describe_(n);
        if (!d.empty()) line += " " + d;
    }
    say(line);
}

int PrintingKioskUi::runAlert(const KioskAlert& alert) {
    say("  alert: " + alert.messageText);
    if (!alert.informativeText.empty()) say("         " + alert.informativeText);
    if (!alert.buttons.empty()) say("         answered \"" + alert.buttons.front() + "\"");
    return 0;
}

void PrintingKioskUi::showFloatingPanel(const std::string& text, double) {
    say("  message panel: " + text);
}

void PrintingKioskUi::fadeOutFloatingPanel(double) {
    if (verbose_) say("  message panel fades");
}

void PrintingKioskUi::setCursorHidden(bool hidden) {
    if (verbose_) say(hidden ? "  pointer hidden" : "  pointer shown");
}

void PrintingKioskUi::setMenuBarHidden(bool hidden) {
    if (verbose_) say(hidden ? "  menu bar hidden" : "  menu bar shown");
}

}  // namespace klik
