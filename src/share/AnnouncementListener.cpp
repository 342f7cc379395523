#include "share/AnnouncementListener.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <system_error>

#include "log/Log.h"
#include "photo/DistributedNotificationCenter.h"

namespace klik::share {

namespace {

// Pulls "newitem" out of the signal's (s, a{sv}) arguments.
int onSignal(sd_bus_message* m, void* user, sd_bus_error*) {
    auto* heard = static_cast<std::vector<std::string>*>(user);
    const char* object = nullptr;
    if (sd_bus_message_read(m, "s", &object) < 0) return 0;
    std::string item;
    if (sd_bus_message_enter_container(m, 'a', "{sv}") > 0) {
        while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
            const char* key = nullptr;
            if (sd_bus_message_read(m, "s", &key) < 0) break;
            if (key && std::strcmp(key, "newitem") == 0 &&
                sd_bus_message_enter_container(m, 'v', "s") > 0) {
                const char* v = nullptr;
                if (sd_bus_message_read(m, "s", &v) >= 0 && v) item = v;
                sd_bus_message_exit_container(m);
            } else {
                sd_bus_message_skip(m, "v");
            }
            sd_bus_message_exit_container(m);
        }
        sd_bus_message_exit_container(m);
    }
    heard->push_back(item);
    return 0;
}

}  // namespace

AnnouncementListener::~AnnouncementListener() {
    stop();
}

void AnnouncementListener::stop() {
    sd_bus_slot_unref(slot_);
    slot_ = nullptr;
    if (bus_) sd_bus_flush_close_unref(bus_);
    bus_ = nullptr;
}

bool AnnouncementListener::start(std::string* error) {
    if (bus_) return true;
    int r = sd_bus_open_user(&bus_);
    if (r < 0) {
        bus_ = nullptr;
        if (error) *error = std::string("no session bus: ") + std::generic_category().message(-r);
        return false;
    }
    const std::string rule = std::string("type='signal',interface='") +
                             DistributedNotificationCenter::kInterface +
                             "',member='KlikSlideShowNotification'";
    r = sd_bus_add_match(bus_, &slot_, rule.c_str(), onSignal, &heard_);
    if (r < 0) {
        stop();
        if (error)
            *error = std::string("cannot subscribe on the session bus: ") +
                     std::generic_category().message(-r);
        return false;
    }
    return true;
}

int AnnouncementListener::fd() const {
    return bus_ ? sd_bus_get_fd(bus_) : -1;
}

std::vector<std::string> AnnouncementListener::process() {
    if (!bus_) return {};
    for (;;) {
        const int r = sd_bus_process(bus_, nullptr);
        if (r < 0) {
            GLIMRA_Log::err("the session bus connection broke; the upload folder is still watched");
            stop();
            break;
        }
        if (r == 0) break;
    }
    std::vector<std::string> out;
    out.swap(heard_);
    return out;
}

}  // namespace klik::share
