#pragma once
// USB hot-plug through libudev: a monitor thread reports USB devices added
// and removed, each with its libgphoto2 port ("usb:BUS,DEV"). Stoppable.

#include <functional>
#include <string>
#include <thread>

struct udev;
struct udev_monitor;

namespace klik {

class GPhotoHotplug {
  public:
    // added: true for an add, false for a remove; runs on the monitor thread.
    using Handler = std::function<void(bool added, const std::string& port)>;
    ~GPhotoHotplug() { stop(); }
    // Starts the monitor; false (with the reason in `error`) when udev is
    // not available, as in a container.
    bool start(Handler handler, std::string& error);
    // Stops and joins the monitor thread. Idempotent.
    void stop();

  private:
    void run();

    Handler handler_;
    ::udev* udev_ = nullptr;
    ::udev_monitor* monitor_ = nullptr;
    int stopFd_ = -1;
    std::thread thread_;
};

}  // namespace klik
