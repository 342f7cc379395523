#include "photo/DistributedNotificationCenter.h"

#include <systemd/sd-bus.h>

#include <cstring>
#include <mutex>

#include "foundation/DateFormat.h"

namespace klik {

namespace {

std::mutex gBusMutex;
sd_bus* gBus = nullptr;

int appendValue(sd_bus_message* m, const Value& v);

int appendDictionary(sd_bus_message* m, const Dictionary& d) {
    int r = sd_bus_message_open_container(m, 'a', "{sv}");
    if (r < 0) return r;
    for (const auto& [k, v] : d) {
        if (v.isNone() || v.isObject()) continue;
        if ((r = sd_bus_message_open_container(m, 'e', "sv")) < 0) return r;
        if ((r = sd_bus_message_append_basic(m, 's', k.c_str())) < 0) return r;
        if ((r = appendValue(m, v)) < 0) return r;
        if ((r = sd_bus_message_close_container(m)) < 0) return r;
    }
    return sd_bus_message_close_container(m);
}

// Appends `v` as one variant.
int appendValue(sd_bus_message* m, const Value& v) {
    int r = 0;
    switch (v.type()) {
        case Value::Type::Bool: {
            int b = v.boolValue();
            return sd_bus_message_append(m, "v", "b", b);
        }
        case Value::Type::Integer: {
            int64_t x = v.integerValue();
            return sd_bus_message_append(m, "v", "x", x);
        }
        case Value::Type::Real:
            return sd_bus_message_append(m, "v", "d", v.doubleValue());
        case Value::Type::String:
            return sd_bus_message_append(m, "v", "s", v.string()->c_str());
        case Value::Type::Date:
            return sd_bus_message_append(
                m, "v", "s", stringWithUTSFormat("yyyy-MM-dd'T'HH:mm:ssXXX", *v.date()).c_str());
        case Value::Type::Data:
            if ((r = sd_bus_message_open_container(m, 'v', "ay")) < 0) return r;
            if ((r = sd_bus_message_append_array(m, 'y', v.data()->data(), v.data()->size())) < 0)
                return r;
            return sd_bus_message_close_container(m);
        case Value::Type::Array:
            if ((r = sd_bus_message_open_container(m, 'v', "av")) < 0) return r;
            if ((r = sd_bus_message_open_container(m, 'a', "v")) < 0) return r;
            for (const auto& e : *v.array()) {
                if (e.isNone() || e.isObject()) continue;
                if ((r = appendValue(m, e)) < 0) return r;
            }
            if ((r = sd_bus_message_close_container(m)) < 0) return r;
            return sd_bus_message_close_container(m);
        case Value::Type::Dictionary:
            if ((r = sd_bus_message_open_container(m, 'v', "a{sv}")) < 0) return r;
            if ((r = appendDictionary(m, *v.dictionary())) < 0) return r;
            return sd_bus_message_close_container(m);
        default:
            return sd_bus_message_append(m, "v", "s", "");
    }
}

void dropBusLocked() {
    if (gBus) sd_bus_flush_close_unref(gBus);
    gBus = nullptr;
}

}  // namespace

void DistributedNotificationCenter::resetConnection() {
    std::lock_guard lock(gBusMutex);
    dropBusLocked();
}

bool DistributedNotificationCenter::postNotificationName(const std::string& name,
                                                         const std::string& object,
                                                         const Dictionary& userInfo,
                                                         std::string* error) {
    if (!sd_bus_member_name_is_valid(name.c_str())) {
        if (error) *error = "not a valid D-Bus member name: " + name;
        return false;
    }
    std::lock_guard lock(gBusMutex);
    for (int attempt = 0; attempt < 2; ++attempt) {
        int r = 0;
        if (!gBus && (r = sd_bus_open_user(&gBus)) < 0) {
            gBus = nullptr;
            if (error) *error = std::string("cannot reach the session bus: ") + std::strerror(-r);
            return false;
        }
        sd_bus_message* m = nullptr;
        r = sd_bus_message_new_signal(gBus, &m, kObjectPath, kInterface, name.c_str());
        if (r >= 0) r = sd_bus_message_append_basic(m, 's', object.c_str());
        if (r >= 0) r = appendDictionary(m, userInfo);
        if (r >= 0) r = sd_bus_send(gBus, m, nullptr);
        if (r >= 0) r = sd_bus_flush(gBus);
        sd_bus_message_unref(m);
        if (r >= 0) return true;
        if (error) *error = std::string("cannot send the signal: ") + std::strerror(-r);
        dropBusLocked();  // a stale connection; try a fresh one once
    }
    return false;
}

}  // namespace klik
