#include "tools/ConsoleKioskUi.h"

#include <cstdio>

namespace klik {

ConsoleKioskUi::ConsoleKioskUi(std::ostream& out, std::function<double()> clock, bool verbose)
    : out_(out), clock_(std::move(clock)), verbose_(verbose) {}

void ConsoleKioskUi::say(const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "t=%6.1fs  ", clock_ ? clock_() : 0.0);
    out_ << stamp << text << "\n";
    out_.flush();
}

void ConsoleKioskUi::orderFront(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " to the front");
}

void ConsoleKioskUi::makeKeyAndOrderFront(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " key and in front");
}

void ConsoleKioskUi::orderOut(KioskWindow w) {
    if (verbose_) say(std::string("  window: ") + kioskWindowName(w) + " ordered out");
}

void ConsoleKioskUi::beep() {
    say("  beep");
}

void ConsoleKioskUi::playSound(const std::string& name) {
    say("  sound \"" + name + "\"");
}

void ConsoleKioskUi::screenDidChange(std::uint32_t n) {
    std::string line = "screen " + std::to_string(n);
    if (describe_) {
        std::string d = describe_(n);
        if (!d.empty()) line += " " + d;
    }
    say(line);
}

int ConsoleKioskUi::runAlert(const KioskAlert& alert) {
    say("  alert: " + alert.messageText);
    if (!alert.informativeText.empty()) say("         " + alert.informativeText);
    if (!alert.buttons.empty()) say("         answered \"" + alert.buttons.front() + "\"");
    return 0;
}

void ConsoleKioskUi::showFloatingPanel(const std::string& text, double) {
    say("  message panel: " + text);
}

void ConsoleKioskUi::fadeOutFloatingPanel(double) {
    if (verbose_) say("  message panel fades");
}

void ConsoleKioskUi::setCursorHidden(bool hidden) {
    if (verbose_) say(hidden ? "  pointer hidden" : "  pointer shown");
}

void ConsoleKioskUi::setMenuBarHidden(bool hidden) {
    if (verbose_) say(hidden ? "  menu bar hidden" : "  menu bar shown");
}

}  // namespace klik
