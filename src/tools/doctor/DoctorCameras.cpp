// Cameras through libgphoto2, who holds them, and the desktop's volume
// monitor that claims them.

#include <gphoto2/gphoto2-camera.h>
#include <gphoto2/gphoto2-list.h>
#include <gphoto2/gphoto2-result.h>
#include <unistd.h>

#include <cstdio>

#include "tools/doctor/DoctorChecks.h"
#include "tools/doctor/ProcessScan.h"

namespace klik::doctor {

namespace {

constexpr const char* kMonitor = "gvfs-gphoto2-volume-monitor";
constexpr const char* kStopMonitor =
    "systemctl --user mask --now gvfs-gphoto2-volume-monitor.service";
constexpr const char* kUnmountCameras = "gio mount -s gphoto2";

// "usb:001,005" -> "/dev/bus/usb/001/005"; "" for other ports.
std::string usbDevicePath(const std::string& port) {
    unsigned bus = 0, dev = 0;
    if (std::sscanf(port.c_str(), "usb:%u,%u", &bus, &dev) != 2) return {};
    char path[64];
    std::snprintf(path, sizeof path, "/dev/bus/usb/%03u/%03u", bus, dev);
    return path;
}

}  // namespace

void checkCameras(Report& r) {
    const auto monitors = processesNamed(kMonitor, ::getuid());
    if (!monitors.empty())
        r.problem("camera",
                  "the desktop's gvfs volume monitor runs (pid " +
                      std::to_string(monitors.front().pid) +
                      "): it claims every camera plugged in before the kiosk can",
                  {std::string(kStopMonitor) + "   (for this user; unmask to undo)",
                   std::string(kUnmountCameras) + "   (releases a camera it holds now)"});

    GPContext* context = gp_context_new();
    CameraList* list = nullptr;
    gp_list_new(&list);
    const int n = gp_camera_autodetect(list, context);
    if (n < 0) {
        r.problem("camera",
                  std::string("libgphoto2 could not list cameras: ") + gp_result_as_string(n));
    } else if (n == 0) {
        r.problem("camera", "no camera seen on USB",
                  {"switch the camera on, connect it by USB and set it to PTP (PC) mode",
                   "lsusb   (shows whether the machine sees it at all)"});
    }
    for (int i = 0; i < n; ++i) {
        const char* name = nullptr;
        const char* port = nullptr;
        gp_list_get_name(list, i, &name);
        gp_list_get_value(list, i, &port);
        const std::string label = std::string(name ? name : "?") + " on " + (port ? port : "?");
        const std::string device = usbDevicePath(port ? port : "");
        if (device.empty()) {
            r.ok("camera", label);
            continue;
        }
        if (::access(device.c_str(), R_OK | W_OK) != 0) {
            r.problem("camera", label + ": this user may not open " + device,
                      {"sudo adduser \"$USER\" plugdev   (then log in again; the package's "
                       "udev rule gives plugdev the cameras libgphoto2 knows)"});
            continue;
        }
        const auto holders = processesHolding(device);
        if (holders.empty()) {
            r.ok("camera", label + " (" + device + ", free)");
            continue;
        }
        if (holders.size() == 1 && holders.front().name == "klik-kiosk") {
            r.ok("camera",
                 label + " (in use by the kiosk, pid " + std::to_string(holders.front().pid) + ")");
            continue;
        }
        std::string who;
        bool gvfs = false;
        for (const auto& h : holders) {
            who += (who.empty() ? "" : ", ") + h.name + " (pid " + std::to_string(h.pid) + ")";
            gvfs = gvfs || h.name.rfind("gvfs", 0) == 0;
        }
        std::vector<std::string> fixes;
        if (gvfs) {
            fixes.push_back(kUnmountCameras);
            fixes.push_back(kStopMonitor);
        } else {
            fixes.push_back("quit the program holding it, or: kill " +
                            std::to_string(holders.front().pid));
        }
        r.problem("camera", label + " is held by " + who, fixes);
    }
    gp_list_free(list);
    gp_context_unref(context);
}

}  // namespace klik::doctor
