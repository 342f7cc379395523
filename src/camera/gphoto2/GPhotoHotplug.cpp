#include "camera/gphoto2/GPhotoHotplug.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace klik {

bool GPhotoHotplug::start(Handler handler, std::string& error) {
    if (thread_.joinable()) return true;
    handler_ = std::move(handler);
    udev_ = udev_new();
    if (!udev_) {
        error = "udev_new failed";
        return false;
    }
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ ||
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, "usb", "usb_device") < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        error = "no udev monitor (no udev daemon?)";
        if (monitor_) udev_monitor_unref(monitor_);
        udev_unref(udev_);
        monitor_ = nullptr;
        udev_ = nullptr;
        return false;
    }
    stopFd_ = eventfd(0, EFD_CLOEXEC);
    thread_ = std::thread([this] { run(); });
    return true;
}

void GPhotoHotplug::stop() {
    if (thread_.joinable()) {
        std::uint64_t one = 1;
        if (write(stopFd_, &one, sizeof one) < 0) {
        }
        thread_.join();
    }
    if (stopFd_ >= 0) close(stopFd_);
    stopFd_ = -1;
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
    monitor_ = nullptr;
    udev_ = nullptr;
}

void GPhotoHotplug::run() {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
    for (;;) {
        if (poll(fds, 2, -1) < 0) continue;
        if (fds[1].revents) return;
        if (!(fds[0].revents & POLLIN)) continue;
        udev_device* dev = udev_monitor_receive_device(monitor_);
        if (!dev) continue;
        const char* action = udev_device_get_action(dev);
        const char* bus = udev_device_get_property_value(dev, "BUSNUM");
        const char* num = udev_device_get_property_value(dev, "DEVNUM");
        if (action && bus && num) {
            char port[32];
            std::snprintf(port, sizeof port, "usb:%03d,%03d", std::atoi(bus), std::atoi(num));
            if (!std::strcmp(action, "add"))
                handler_(true, port);
            else if (!std::strcmp(action, "remove"))
                handler_(false, port);
        }
        udev_device_unref(dev);
    }
}

}  // namespace klik
