// klik-share-gallery: the booth's gallery on its own, until klik-share runs
// it beside the outbox (Gallery.h is the entry both use). Serves until
// SIGTERM or SIGINT.

#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "share/gallery/Gallery.h"

namespace {

const char* kUsage =
    "usage: klik-share-gallery [--root DIR] [--settings FILE] [--upload DIR] [--cache DIR]\n"
    "                          [--listen HOST:PORT] [--log FILE] [--benchmark-limits]\n"
    "\n"
    "Serves the booth's gallery: every photo of the upload folder at\n"
    "ADDRESS/p/TOKEN without the guests' addresses, and with the public gallery\n"
    "on, /gallery and the photo wall /wall. ADDRESS is the setting\n"
    "\"prefShareGalleryAddress\"; without it nothing is served (exit 0).\n"
    "\n"
    "  --root DIR         every fixed path under DIR (as for klik-kiosk)\n"
    "  --settings FILE    the kiosk's settings file (default: the standard one)\n"
    "  --upload DIR       the upload folder (default: the \"forUploadFolder\" setting)\n"
    "  --cache DIR        where copies and thumbnails are kept\n"
    "  --listen HOST:PORT listen there instead of the address's host and port\n"
    "                     (port 0: a free one)\n"
    "  --log FILE         write the log there (default: standard error)\n"
    "  --benchmark-limits no per-client limits (many clients from one address)\n"
    "\n"
    "Prints \"klik-share-gallery: serving ADDRESS on HOST:PORT\" once it serves.\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace klik;
    std::vector<std::string> args(argv + 1, argv + argc);
    GalleryPaths paths;
    std::string settingsFile, logFile;
    bool benchmark = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string listen;
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a == "--root") {
            std::string root;
            if (!value(root)) break;
            setFixedRoot(root);
        } else if (a == "--settings") {
            if (!value(settingsFile)) break;
        } else if (a == "--upload") {
            if (!value(paths.uploadFolder)) break;
        } else if (a == "--cache") {
            if (!value(paths.cacheFolder)) break;
        } else if (a == "--log") {
            if (!value(logFile)) break;
        } else if (a == "--benchmark-limits") {
            benchmark = true;
        } else if (a == "--listen" && value(listen)) {
            const size_t colon = listen.find_last_of(':');
            if (colon == std::string::npos) {
                std::cerr << "klik-share-gallery: --listen needs HOST:PORT\n";
                return 2;
            }
            paths.listenHost = listen.substr(0, colon);
            paths.listenPort = std::atoi(listen.c_str() + colon + 1);
        } else {
            std::cerr << "klik-share-gallery: unknown or incomplete option " << a << "\n\n"
                      << kUsage;
            return 2;
        }
    }
    if (!logFile.empty())
        GLIMRA_Log::setLogFile(logFile);
    else
        GLIMRA_Log::setShouldLogToStdErr(true);
    if (!settingsFile.empty())
        Settings::setStandardPath(settingsFile);
    else if (!fixedRoot().empty() && fixedRoot() != "/")
        Settings::setStandardPath(fixedRoot() + "/config/klik/Klik_Kiosk.plist");

    // The signals are waited for on this thread; every other thread blocks them.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);

    Settings& settings = Settings::standard();
    Gallery gallery;
    if (benchmark) {
        gallery.limits().maxConnectionsPerClient = 1 << 20;
        gallery.limits().requestsPerSecond = 0;
        gallery.limits().workerThreads = 64;
    }
    std::string error;
    if (!gallery.start(settings, paths, &error)) {
        std::cerr << "klik-share-gallery: " << error << "\n";
        return 1;
    }
    if (!gallery.isRunning()) {
        std::cout << "klik-share-gallery: no gallery address is set (prefShareGalleryAddress)"
                  << std::endl;
        return 0;
    }
    std::cout << "klik-share-gallery: serving " << gallery.address() << " on port "
              << gallery.port() << " (" << gallery.photoCount() << " photos in "
              << gallery.uploadFolder() << ")" << std::endl;
    int sig = 0;
    sigwait(&set, &sig);
    gallery.stop();
    std::cout << "klik-share-gallery: stopped" << std::endl;
    return 0;
}
