// The session bus and the display.

#include <systemd/sd-bus.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "tools/doctor/DoctorChecks.h"

namespace klik::doctor {

void checkSessionBus(Report& r) {
    sd_bus* bus = nullptr;
    int rc = sd_bus_open_user(&bus);
    if (rc >= 0) {
        sd_bus_error error = SD_BUS_ERROR_NULL;
        sd_bus_message* reply = nullptr;
        rc = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                "org.freedesktop.DBus", "GetId", &error, &reply, "");
        sd_bus_message_unref(reply);
        sd_bus_error_free(&error);
    }
    sd_bus_unref(bus);
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::vector<std::string> fixes{
        "run the kiosk in the desktop session (systemctl --user, or its menu entry)",
        "sudo apt install dbus-user-session   (then log in again)"};
    if (!(address && *address) && !(runtime && *runtime))
        r.problem("session bus",
                  "none: DBUS_SESSION_BUS_ADDRESS and XDG_RUNTIME_DIR are unset, so photos are "
                  "not announced to other programs",
                  fixes);
    else if (rc < 0)
        r.problem("session bus",
                  std::string(address && *address ? address : runtime + std::string("/bus")) +
                      " does not answer (" + std::strerror(-rc) +
                      "): photos are not announced to other programs",
                  fixes);
    else
        r.ok("session bus",
             std::string(address && *address ? address : runtime + std::string("/bus")) +
                 " answers");
}

void checkDisplay(Report& r) {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    if ((x && *x) || (w && *w))
        r.ok("display", std::string(w && *w ? "WAYLAND_DISPLAY=" + std::string(w) + " " : "") +
                            (x && *x ? "DISPLAY=" + std::string(x) : ""));
    else
        r.note("display",
               "none in this shell; the kiosk needs the desktop session's "
               "(systemctl --user import-environment DISPLAY XAUTHORITY)");
}

}  // namespace klik::doctor
