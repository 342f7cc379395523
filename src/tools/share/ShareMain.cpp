// klik-share: delivers the kiosk's upload copies to the guests (email) and
// to the event's cloud (rclone), from a durable outbox. Its own process, so
// a slow or absent network never stalls a guest's turn.

#include <signal.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "foundation/FixedPaths.h"
#include "foundation/Resources.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/FileOps.h"
#include "share/Outbox.h"
#include "share/SharePlaces.h"
#include "share/ShareService.h"
#include "share/gallery/Gallery.h"

namespace {

klik::share::ShareService* gService = nullptr;

void onStopSignal(int) {
    if (gService) gService->requestStop();
}

const char* kHelp =
    "usage: klik-share [--once] [--root DIR] [--settings FILE] [--outbox FILE]\n"
    "                  [--retry-base SECONDS] [--no-bus]\n"
    "\n"
    "Delivers the kiosk's upload copies: one email per address in each photo's\n"
    "payload (prefShareMailServer, prefShareMailFrom, prefShareMailUser,\n"
    "prefShareMailPasswordFile) and a copy to the event's cloud through rclone\n"
    "(prefShareRemote, prefShareEventName, prefKioskStationName,\n"
    "prefShareBandwidthLimit). With neither set up nothing leaves the booth.\n"
    "\n"
    "  --once            take what is in the upload folder, try every pending job\n"
    "                    once, and exit: 0 when nothing is left pending or failed,\n"
    "                    1 otherwise\n"
    "  --root DIR        place every fixed path under DIR (as KLIK_ROOT does)\n"
    "  --settings FILE   the kiosk's settings file (default: the scripted kiosk's\n"
    "                    DIR/config/klik/Klik_Kiosk.plist under a root when it\n"
    "                    exists, else the kiosk's standard one)\n"
    "  --outbox FILE     the outbox database (default: KlikShareOutbox.sqlite in\n"
    "                    $XDG_STATE_HOME/klik, or DIR/ under a root)\n"
    "  --retry-base S    seconds before a failed delivery is tried again the first\n"
    "                    time (default 30; doubles up to an hour, with jitter)\n"
    "  --no-bus          do not listen for the kiosk's announcements (the upload\n"
    "                    folder is still scanned and watched)\n"
    "\n"
    "With \"prefShareGalleryAddress\" set it also serves the booth's gallery\n"
    "there (each photo's link, the photo wall).\n"
    "Without --once it runs until SIGTERM or SIGINT, which end it cleanly: a\n"
    "delivery under way is finished or put back for the next start.\n"
    "The log: Klik_Share.log beside the kiosk's log. `klikctl share status`\n"
    "shows the outbox.";

}  // namespace

int main(int argc, char** argv) {
    using namespace klik;
    bool once = false, bus = true;
    std::string settingsFile, outboxFile;
    share::ShareServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) return false;
            into = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::cout << kHelp << "\n";
            return 0;
        } else if (a == "--once") {
            once = true;
        } else if (a == "--no-bus") {
            bus = false;
        } else if (a == "--root" && value(v)) {
            std::error_code ec;
            setFixedRoot(v.empty() || v == "/" ? v : std::filesystem::absolute(v, ec).string());
        } else if (a == "--settings" && value(v)) {
            settingsFile = v;
        } else if (a == "--outbox" && value(v)) {
            outboxFile = v;
        } else if (a == "--retry-base" && value(v)) {
            char* end = nullptr;
            const double s = std::strtod(v.c_str(), &end);
            if (!end || *end || s < 0) {
                std::cerr << "klik-share: --retry-base needs a number of seconds\n";
                return 2;
            }
            options.backoff.base = s;
        } else {
            std::cerr << "klik-share: unknown or incomplete option " << a << "\n\n"
                      << kHelp << "\n";
            return 2;
        }
    }
    options.listenOnBus = bus;
    ::signal(SIGPIPE, SIG_IGN);

    GLIMRA_Log::setApplicationName("klik-share");
    GLIMRA_Log::setRedirectsStdErr(false);
    GLIMRA_Log::setShouldLogToStdErr(true);
    const std::string logPath = fixedPath(share::kShareLogFixedPath);
    std::string why;
    createFolderWithIntermediates(logPath.substr(0, logPath.find_last_of('/')), 0755, &why);
    if (!GLIMRA_Log::setLogFile(logPath))
        std::cerr << "klik-share: cannot open the log " << logPath << "; logging to stderr only\n";

    Settings settings(settingsFile.empty() ? share::shareSettingsPath() : settingsFile);
    if (const std::string e =
            settings.registerDefaultsFromFile(resourcePath("FactoryDefault.plist"));
        !e.empty())
        GLIMRA_Log::err("factory defaults not read: " + e);

    const std::string outboxAt = outboxFile.empty() ? share::outboxPath() : outboxFile;
    createFolderWithIntermediates(outboxAt.substr(0, outboxAt.find_last_of('/')), 0700, &why);
    auto outbox = share::Outbox::open(outboxAt, &why);
    if (!outbox) {
        GLIMRA_Log::err("" + why);
        return 1;
    }

    share::ShareService service(settings, *outbox, options);
    // The booth's gallery runs beside the deliveries (only with
    // "prefShareGalleryAddress" set) and hears of each new upload copy.
    Gallery gallery;
    if (!once) {
        std::string galleryError;
        if (!gallery.start(settings, {}, &galleryError))
            GLIMRA_Log::err("the booth's gallery did not start: " + galleryError);
        service.addUploadCopyObserver(
            [&gallery](const std::string& path, bool) { gallery.photoFiled(path); });
    }
    gService = &service;
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    ::sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    const int status = once ? service.runOnce() : service.run();
    gService = nullptr;
    gallery.stop();
    return status;
}
