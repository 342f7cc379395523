// klik-ptpip-camera: a camera on the network, over PTP/IP, for tests and
// demos of the kiosk's libgphoto2 backend (and any other PTP/IP client).

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "ptpip/CameraConfigFile.h"
#include "ptpip/PtpIpServer.h"
#include "ptpip/SimPictureSource.h"

using namespace klik::ptp;

namespace {

const char* const kUsage =
    "usage: klik-ptpip-camera --listen A.B.C.D:PORT [--faults FILE] [--photo WxH]\n"
    "                         [--live WxH] [--fps N] [--store DIR]\n"
    "                         [--raw-jpeg raw-first|jpeg-first] [--slow-property-ms N]\n"
    "                         [--mode-dependent-choices]\n"
    "                         [--personality generic|canon-eos]\n"
    "                         [--viewfinder-warmup-ms N] [--viewfinder-not-ready-every N]\n"
    "                         [--raw-jpeg-gap-ms N]\n"
    "\n"
    "Answers as a PTP camera over PTP/IP (standard PTP 1.1, no vendor extension)\n"
    "on A.B.C.D:PORT; port 0 takes a free port. Command and event connections\n"
    "both go to PORT, so libgphoto2 reaches it as model \"PTP/IP Camera\" on port\n"
    "\"ptpip:A.B.C.D:PORT:PORT\". Prints \"listening on A.B.C.D:PORT\" (the port\n"
    "in use) on standard output once it accepts connections, then serves until\n"
    "SIGTERM or SIGINT. Its log goes to standard error.\n"
    "\n"
    "  --photo WxH   size of the photos it takes (default 3000x2000; 6000x4000 = 24 MP)\n"
    "  --live WxH    size of the live-view frames (default 640x426)\n"
    "  --fps N       live-view frames per second offered (default 30)\n"
    "  --store DIR   the memory card: photos in DIR/DCIM/100KLIK are on the card at\n"
    "                start, and every photo taken is written there\n"
    "  --faults FILE faults and timings, see below\n"
    "\n"
    "How the body is set up:\n"
    "  --raw-jpeg raw-first|jpeg-first\n"
    "                every shot leaves two files with one name, KLIKnnnn.CR2 (a RAW:\n"
    "                a CR2 header, the JPEG as preview, sensor bytes) and\n"
    "                KLIKnnnn.JPG, each announced by its own ObjectAdded, in that\n"
    "                order, before CaptureComplete\n"
    "  --slow-property-ms N\n"
    "                every GetDevicePropDesc and GetDevicePropValue answers after\n"
    "                N ms (a body that reads its settings slowly)\n"
    "  --mode-dependent-choices\n"
    "                the allowed shutter speeds (0x500D) and apertures (0x5007)\n"
    "                follow the exposure mode (0x500E): manual all, program a few\n"
    "                of each, aperture priority one speed, shutter priority one\n"
    "                aperture; setting the mode sends DevicePropChanged for both\n"
    "                (a value no longer allowed moves to the nearest allowed one)\n"
    "A standard PTP camera has no capture target: libgphoto2 offers its\n"
    "\"capturetarget\" widget only for vendor extensions, so photos always go to\n"
    "the card.\n"
    "\n"
    "  --personality canon-eos\n"
    "                answers as a Canon EOS body (\"Canon Inc.\", \"Canon EOS Klik\n"
    "                Test\", Canon's vendor extension), so libgphoto2 drives it with\n"
    "                its EOS code: remote and event mode, the GetEvent poll that\n"
    "                carries every property and list of choices, remote release\n"
    "                (eosremoterelease, half and full press), SetDevicePropValueEx,\n"
    "                capture target (card, or \"Internal RAM\": shots wait in the\n"
    "                body until the host fetches them), image format (RAW + JPEG\n"
    "                there too), live view through GetViewFinderData, autofocus,\n"
    "                zoom and focus drive. No standard capture or PTP 1.1 streams.\n"
    "                libgphoto2 reaches it on \"ptpip:A.B.C.D:PORT\" as any model.\n"
    "  --viewfinder-warmup-ms N\n"
    "                EOS: after live view is switched on, frame requests answer\n"
    "                \"not ready\" (0xA102) for N ms (default 1000)\n"
    "  --raw-jpeg-gap-ms N\n"
    "                EOS: the second file of a RAW+JPEG shot is reported N ms after\n"
    "                the first (default 0: in the same event poll)\n"
    "  --viewfinder-not-ready-every N\n"
    "                EOS: after the warm-up, every Nth frame request also answers\n"
    "                \"not ready\" (default 0: never)\n"
    "\n";

PtpIpServer* gServer = nullptr;

void onSignal(int sig) {
    if (!gServer) return;
    if (sig == SIGUSR1)
        gServer->vanish(0);
    else if (sig == SIGUSR2)
        gServer->comeBack();
    else
        gServer->stop();
}

bool parseSize(const std::string& s, int& w, int& h) {
    unsigned a = 0, b = 0;
    char x = 0, extra = 0;
    if (std::sscanf(s.c_str(), "%u%c%u%c", &a, &x, &b, &extra) != 3 || x != 'x') return false;
    if (a < 16 || b < 16 || a > 20000 || b > 20000) return false;
    w = static_cast<int>(a);
    h = static_cast<int>(b);
    return true;
}

bool makeDirs(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

// The card's photos: JPEGs and the RAW files beside them.
bool isPhotoName(const std::string& n) {
    if (n.size() < 5) return false;
    std::string ext = n.substr(n.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
    return ext == ".jpg" || ext == ".cr2";
}

// Loads the card's photos; false when the folder cannot be made.
bool loadStore(const std::string& folder, PtpCamera& camera) {
    if (!makeDirs(folder)) return false;
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (isPhotoName(e->d_name)) names.push_back(e->d_name);
        ::closedir(d);
    }
    std::sort(names.begin(), names.end());
    for (const std::string& n : names) {
        std::ifstream in(folder + "/" + n, std::ios::binary);
        Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        camera.addPhoto(n, std::move(data));
    }
    return true;
}

// Writes a new photo beside the others, whole or not at all.
void storePhoto(const std::string& folder, const StoredObject& o) {
    const std::string path = folder + "/" + o.name, partial = path + ".part";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(o.data->data()),
                  static_cast<std::streamsize>(o.data->size()));
        if (!out) {
            std::fprintf(stderr, "klik-ptpip-camera: cannot write %s\n", partial.c_str());
            return;
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0)
        std::fprintf(stderr, "klik-ptpip-camera: cannot write %s: %s\n", path.c_str(),
                     std::generic_category().message(errno).c_str());
}

}  // namespace

int main(int argc, char** argv) {
    std::string listenAddress, faultsPath, store;
    CameraConfig config;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "klik-ptpip-camera: %s needs a value\n%s", a.c_str(), kUsage);
                std::exit(2);  // NOLINT(concurrency-mt-unsafe): no thread runs yet
            }
            out = argv[++i];
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::printf("%s%s", kUsage, kFaultKeysHelp);
            return 0;
        } else if (a == "--listen") {
            value(listenAddress);
        } else if (a == "--faults") {
            value(faultsPath);
        } else if (a == "--store") {
            value(store);
        } else if (a == "--photo" || a == "--live") {
            value(v);
            int& w = a == "--photo" ? config.photoWidth : config.liveWidth;
            int& h = a == "--photo" ? config.photoHeight : config.liveHeight;
            if (!parseSize(v, w, h)) {
                std::fprintf(stderr,
                             "klik-ptpip-camera: %s wants WIDTHxHEIGHT (16-20000), not %s\n",
                             a.c_str(), v.c_str());
                return 2;
            }
        } else if (a == "--raw-jpeg") {
            value(v);
            if (v == "raw-first") {
                config.shotFiles = ShotFiles::RawThenJpeg;
            } else if (v == "jpeg-first") {
                config.shotFiles = ShotFiles::JpegThenRaw;
            } else {
                std::fprintf(
                    stderr, "klik-ptpip-camera: --raw-jpeg wants raw-first or jpeg-first, not %s\n",
                    v.c_str());
                return 2;
            }
        } else if (a == "--slow-property-ms") {
            value(v);
            char* end = nullptr;
            const double ms = std::strtod(v.c_str(), &end);
            if (*end || !(ms >= 0 && ms <= 60000)) {
                std::fprintf(stderr,
                             "klik-ptpip-camera: --slow-property-ms wants 0 to 60000, not %s\n",
                             v.c_str());
                return 2;
            }
            config.propertyReadDelay = ms / 1000;
        } else if (a == "--mode-dependent-choices") {
            config.modeDependentChoices = true;
        } else if (a == "--personality") {
            value(v);
            if (v == "generic") {
                usePersonality(config, Personality::Generic);
            } else if (v == "canon-eos") {
                usePersonality(config, Personality::CanonEos);
            } else {
                std::fprintf(
                    stderr, "klik-ptpip-camera: --personality wants generic or canon-eos, not %s\n",
                    v.c_str());
                return 2;
            }
        } else if (a == "--viewfinder-warmup-ms" || a == "--viewfinder-not-ready-every" ||
                   a == "--raw-jpeg-gap-ms") {
            value(v);
            char* end = nullptr;
            const double n = std::strtod(v.c_str(), &end);
            if (*end || !(n >= 0 && n <= 600000)) {
                std::fprintf(stderr, "klik-ptpip-camera: %s wants a number from 0, not %s\n",
                             a.c_str(), v.c_str());
                return 2;
            }
            if (a == "--viewfinder-warmup-ms")
                config.viewfinderWarmup = n / 1000;
            else if (a == "--raw-jpeg-gap-ms")
                config.secondFileGap = n / 1000;
            else
                config.viewfinderNotReadyEvery = static_cast<int>(n);
        } else if (a == "--fps") {
            value(v);
            char* end = nullptr;
            config.liveFramesPerSecond = std::strtod(v.c_str(), &end);
            if (*end || !(config.liveFramesPerSecond >= 0.1 && config.liveFramesPerSecond <= 240)) {
                std::fprintf(stderr, "klik-ptpip-camera: --fps wants 0.1 to 240, not %s\n",
                             v.c_str());
                return 2;
            }
        } else {
            std::fprintf(stderr, "klik-ptpip-camera: unknown argument %s\n%s", a.c_str(), kUsage);
            return 2;
        }
    }
    if (listenAddress.empty()) {
        std::fprintf(stderr, "klik-ptpip-camera: --listen is required\n%s", kUsage);
        return 2;
    }
    if (!faultsPath.empty()) {
        std::string error;
        if (!readFaultsFile(faultsPath, config, error)) {
            std::fprintf(stderr, "klik-ptpip-camera: %s\n", error.c_str());
            return 2;
        }
    }

    auto pictures = std::make_shared<SimPictureSource>(config.identity);
    pictures->prepare(config.photoWidth, config.photoHeight, 1);
    PtpCamera camera(config, pictures);
    if (!store.empty()) {
        const std::string folder = store + "/DCIM/100KLIK";
        if (!loadStore(folder, camera)) {
            std::fprintf(stderr, "klik-ptpip-camera: cannot use store folder %s: %s\n",
                         folder.c_str(), std::generic_category().message(errno).c_str());
            return 2;
        }
        camera.setPhotoObserver([folder](const StoredObject& o) { storePhoto(folder, o); });
        camera.setRemovedObserver(
            [folder](const StoredObject& o) { std::remove((folder + "/" + o.name).c_str()); });
    }

    PtpIpServer server(camera);
    std::string error;
    if (!server.listen(listenAddress, error)) {
        std::fprintf(stderr, "klik-ptpip-camera: %s\n", error.c_str());
        return 1;
    }
    gServer = &server;
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaction(sig, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::printf("listening on %s\n", server.boundAddress().c_str());
    std::fflush(stdout);
    server.run();
    gServer = nullptr;
    return 0;
}
