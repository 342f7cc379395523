#include "app/RelaunchRequest.h"

#include "log/Log.h"

namespace klik {

std::optional<RelaunchCommand> planRelaunch(const std::optional<Dictionary>& request,
                                            const std::string& ownPath,
                                            const std::string& relaunchProgram, long pid) {
    std::string path = ownPath;
    long flags = 1;
    RelaunchCommand cmd;
    cmd.program = relaunchProgram;
    if (request) {
        if (const Value* s = find(*request, kRelaunchSender)) cmd.sender = *s;
        if (const Value* f = find(*request, kLSLaunchFlags))
            flags = static_cast<long>(f->integerValue());
        const Value* p = find(*request, kPathOfAppToLaunch);
        if (!p || !p->string() || p->string()->empty()) {
            GLIMRA_Log::errf("No key = [%s] not specified..", kPathOfAppToLaunch);
            return std::nullopt;
        }
        path = *p->string();
        // Its presence alone keeps the caller running, whatever its value.
        if (find(*request, kTerminateSelf)) cmd.terminateCaller = false;
    }
    cmd.args = {path, cmd.terminateCaller ? stringWithFormat("%ld", pid) : "0",
                stringWithFormat("%ld", flags)};
    GLIMRA_Log::debugf("relaunch: %s [%s] [%s] [%s]", cmd.program.c_str(), cmd.args[0].c_str(),
                       cmd.args[1].c_str(), cmd.args[2].c_str());
    return cmd;
}

Dictionary companionRequest(const std::string& appFolder, const std::string& name) {
    const std::string path = appFolder + "/" + name;
    return Dictionary{{kPathOfAppToLaunch, Value(path)},
                      {kLSLaunchFlags, Value(std::int64_t{kCompanionLaunchFlags})},
                      {kTerminateSelf, Value(false)},
                      {kNSApplicationPath, Value(path)},
                      {kNSApplicationLaunchFlags, Value(std::int64_t{kCompanionLaunchFlags})}};
}

}  // namespace klik
