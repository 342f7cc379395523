#include "ui/kiosk/KioskOptions.h"

#include <cerrno>
#include <cstdlib>

namespace klik {

std::optional<KioskOptions> parseKioskOptions(const std::vector<std::string>& args,
                                              std::string* error) {
    KioskOptions o;
    auto fail = [&](const std::string& why) -> std::optional<KioskOptions> {
        if (error) *error = why;
        return std::nullopt;
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--root" || a == "--screenshots") {
            if (!hasNext || args[i + 1].empty()) return fail(a + " needs a folder");
            (a == "--root" ? o.root : o.screenshots) = args[++i];
        } else if (a == "--sim") {
            o.sim = true;
            if (hasNext && args[i + 1].rfind("--", 0) != 0) o.simFile = args[++i];
        } else if (a == "--video") {
            o.video = true;
        } else if (a == "--scripted") {
            if (!hasNext) return fail("--scripted needs a number of guests");
            char* end = nullptr;
            errno = 0;
            const long n = std::strtol(args[i + 1].c_str(), &end, 10);
            if (errno || !end || *end || n < 1 || n > 1000)
                return fail("--scripted needs a number of guests from 1 to 1000, not [" +
                            args[i + 1] + "]");
            o.scripted = static_cast<int>(n);
            ++i;
        } else if (a == "--scripted-minutes") {
            if (!hasNext) return fail("--scripted-minutes needs a number of minutes");
            char* end = nullptr;
            errno = 0;
            const double m = std::strtod(args[i + 1].c_str(), &end);
            if (errno || !end || *end || !(m > 0) || m > 7 * 24 * 60)
                return fail("--scripted-minutes needs minutes above 0, at most a week, not [" +
                            args[i + 1] + "]");
            o.scriptedMinutes = m;
            ++i;
        } else if (a == "--scripted-last-shots") {
            if (!hasNext || args[i + 1].size() != 1 || args[i + 1][0] < '2' || args[i + 1][0] > '4')
                return fail("--scripted-last-shots needs a number of shots from 2 to 4");
            o.scriptedLastShots = args[i + 1][0] - '0';
            ++i;
        } else if (a == "--quit-on-screen") {
            if (!hasNext || args[i + 1].size() != 1 || args[i + 1][0] < '1' || args[i + 1][0] > '7')
                return fail("--quit-on-screen needs a screen number from 1 to 7");
            o.quitOnScreen = args[++i][0] - '0';
        } else if (a == "--web") {
            if (!hasNext ||
                (args[i + 1].rfind("http://", 0) != 0 && args[i + 1].rfind("https://", 0) != 0))
                return fail("--web needs the web server's address (http://...)");
            o.web = args[++i];
            // "prefBaseURL" has no trailing slash.
            while (o.web.size() > 8 && o.web.back() == '/') o.web.pop_back();
        } else if (a == "--camera") {
            if (!hasNext) return fail("--camera needs a backend");
            if (args[i + 1] == "sim") {
                o.sim = true;
            } else if (args[i + 1] == "gphoto2") {
                o.camera = "gphoto2";
            } else {
                return fail("camera backend [" + args[i + 1] + "] is not built in");
            }
            ++i;
        } else if (a == "--port") {
            if (!hasNext || args[i + 1].empty()) return fail("--port needs a camera port");
            o.port = args[++i];
        } else {
            return fail("unknown argument [" + a + "]");
        }
    }
    if (!o.port.empty() && o.camera.empty()) return fail("--port goes with --camera gphoto2");
    if (o.scriptedMinutes > 0 && o.scripted == 0)
        return fail("--scripted-minutes goes with --scripted N");
    if (o.scriptedLastShots > 0 && o.scripted == 0)
        return fail("--scripted-last-shots goes with --scripted N");
    // A script never waits for a real camera unless it was asked for one.
    if (o.scripted > 0 && !o.sim && o.camera.empty()) o.sim = true;
    return o;
}

}  // namespace klik
