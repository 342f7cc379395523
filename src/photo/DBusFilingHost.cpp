#include "photo/DBusFilingHost.h"

#include <cstdio>

#include "log/Log.h"
#include "photo/DistributedNotificationCenter.h"

namespace klik {

int DBusFilingHost::runFilingAlert(const std::string& message, const std::string& informative,
                                   const std::vector<std::string>& buttons) {
    GLIMRA_Log::err("ALERT: " + message + " / " + informative);
    std::fprintf(stderr, "ALERT: %s\n%s\n", message.c_str(), informative.c_str());
    return buttons.empty() ? -1 : 0;
}

void DBusFilingHost::openPreferencesAfterDelay(double) {
    std::fprintf(stderr, "(the kiosk would open its preferences now)\n");
}

void DBusFilingHost::notifyOperator(const std::string& text) {
    GLIMRA_Log::err("NOTICE: " + text);
    std::fprintf(stderr, "NOTICE: %s\n", text.c_str());
}

bool DBusFilingHost::announce(const std::string& name, const std::string& object,
                              const Dictionary& userInfo) {
    std::string error;
    if (DistributedNotificationCenter::postNotificationName(name, object, userInfo, &error))
        return true;
    GLIMRA_Log::err("announcement " + name + " not sent: " + error);
    return false;
}

}  // namespace klik
