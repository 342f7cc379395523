#include "app/ApplicationPort.h"

#include <filesystem>

#include "log/Log.h"
#include "util/ProcessLaunch.h"

namespace klik {

std::string ApplicationPort::bundleFolder() const {
    return std::filesystem::path(bundlePath()).parent_path().string();
}

std::string ApplicationPort::bundleName() const {
    return std::filesystem::path(bundlePath()).stem().string();
}

std::string ApplicationPort::relaunchProgram() const {
    return bundleFolder() + "/klik-relaunch";
}

bool ApplicationPort::launch(const std::string& program, const std::vector<std::string>& args) {
    std::string error;
    auto pid = launchDetached(program, args, &error);
    if (!pid) {
        GLIMRA_Log::errf("could not start [%s]: %s", program.c_str(), error.c_str());
        return false;
    }
    GLIMRA_Log::debugf("started [%s] as process %d", program.c_str(), static_cast<int>(*pid));
    return true;
}

}  // namespace klik
