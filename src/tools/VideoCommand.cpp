// klikctl video: the capture devices and the kiosk's choice, a recording
// from the simulated (or chosen) camera, and the composition chain run on a
// recording without the kiosk.

#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <mutex>

#include "foundation/DateFormat.h"
#include "foundation/Settings.h"
#include "log/Log.h"
#include "photo/FileNames.h"
#include "photo/FileOps.h"
#include "photo/ImageFolders.h"
#include "tools/Command.h"
#include "video/CapturePipeline.h"
#include "video/DeviceMonitor.h"
#include "video/MediaInfo.h"
#include "video/VideoComposition.h"

namespace klik::tools {
namespace {

namespace fs = std::filesystem;

const char* kUsage =
    "usage: klikctl video devices\n"
    "       klikctl video record [--sim] [--seconds N] [--tag 1|2] --out FILE\n"
    "       klikctl video compose RECORDING [--overlay FILE [--at T]] [--trailer FILE]\n"
    "                             [--time S] [--email ADDRESS]... --out DIR\n"
    "\n"
    "devices  lists the video and sound sources and the kiosk's choice among them.\n"
    "record   records N seconds (default 3) from the simulated camera (--sim: a test\n"
    "         picture with a running clock and a tone) or the chosen devices, at\n"
    "         320x240 (--tag 1, default) or 640x480 (--tag 2), H.264/AAC QuickTime.\n"
    "compose  runs the kiosk's composition on a copy of RECORDING in DIR: the overlay\n"
    "         spliced in at T seconds (default 1), the trailer over the last stretch,\n"
    "         exported as NAME_muxed.mov; the 640x480 still NAME.jpg (at S seconds, else\n"
    "         the start) with the addresses embedded; copies in DIR/upload/DAY; the\n"
    "         recording filed into DIR/images/DAY. Exit status 1 when no still was made.";

const Command& self();

class ToolHost : public VideoCompositionHost {
  public:
    std::vector<std::string> emails;
    int runFilingAlert(const std::string& m, const std::string& i,
                       const std::vector<std::string>&) override {
        std::cerr << "alert: " << m << "\n" << i << "\n";
        return 0;
    }
    void openPreferencesAfterDelay(double) override {}
    void notifyOperator(const std::string& text) override { std::cerr << text << "\n"; }
    bool announce(const std::string&, const std::string&, const Dictionary&) override {
        return true;
    }
    void showMissingOverlayAlert(const std::string& m, const std::string& i) override {
        std::cerr << "alert: " << m << "\n" << i << "\n";
    }
    PhotoSession videoSession(const std::string&) override {
        PhotoSession s;
        s.emails = emails;
        return s;
    }
    Date now() override { return std::chrono::system_clock::now(); }
};

int devices() {
    DeviceList list = DeviceList::probe();
    if (list.devices().empty()) std::cout << "no capture devices\n";
    for (const CaptureDevice& d : list.devices())
        std::cout << (d.hasVideo ? "video " : "      ") << (d.hasAudio ? "sound " : "      ")
                  << (d.isDefault ? "default " : "        ") << d.displayName << "\n";
    const CaptureDeviceChoice c = list.choose();
    std::cout << "chosen video: " << (c.video ? c.video->displayName : "(none)") << "\n";
    std::cout << "chosen sound: "
              << (c.audio ? c.audio->displayName
                          : (c.video && c.video->hasAudio ? "(the video device's own)" : "(none)"))
              << "\n";
    return 0;
}

bool number(const std::string& s, double& out) {
    try {
        size_t used = 0;
        out = std::stod(s, &used);
        return used == s.size();
    } catch (...) {
        return false;
    }
}

int record(const Args& a) {
    bool sim = false;
    double seconds = 3;
    int tag = 1;
    std::string out;
    for (size_t i = 1; i < a.size(); ++i) {
        if (a[i] == "--sim") {
            sim = true;
        } else if ((a[i] == "--seconds" || a[i] == "--tag" || a[i] == "--out") &&
                   i + 1 < a.size()) {
            const std::string v = a[++i];
            double n = 0;
            if (a[i - 1] == "--out") {
                out = v;
            } else if (!number(v, n) || n <= 0) {
                return usageError(self(), a[i - 1] + " needs a positive number");
            } else if (a[i - 1] == "--seconds") {
                seconds = n;
            } else if (n == 1 || n == 2) {
                tag = static_cast<int>(n);
            } else {
                return usageError(self(), "--tag is 1 or 2");
            }
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    if (out.empty()) return usageError(self(), "record needs --out FILE");
    CaptureSourceSpec spec;
    DeviceList list;
    if (sim) {
        spec.simulated = true;
    } else {
        list = DeviceList::probe();
        const CaptureDeviceChoice c = list.choose();
        if (!c.video) {
            std::cerr << "klikctl video: no usable video device (try --sim)\n";
            return 1;
        }
        spec.videoDevice = list.gstDevice(*c.video);
        if (c.audio) spec.audioDevice = list.gstDevice(*c.audio);
    }
    CapturePipeline p(spec);
    std::string error;
    const int w = tag == 2 ? 640 : 320, h = tag == 2 ? 480 : 240;
    if (!p.start(&error) || !p.startRecording(out, w, h, &error)) {
        std::cerr << "klikctl video: " << error << "\n";
        return 1;
    }
    // The source is live: wait until it has delivered N seconds of pictures.
    std::mutex m;
    std::condition_variable cv;
    const auto start = p.framesDelivered();
    const auto target = start + static_cast<std::uint64_t>(seconds * spec.fps);
    p.setFrameCallback([&] {
        std::lock_guard<std::mutex> lock(m);
        cv.notify_all();
    });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait_for(lock, std::chrono::duration<double>(seconds * 3 + 5),
                    [&] { return p.framesDelivered() >= target; });
    }
    p.setFrameCallback({});
    p.stopRecording();
    p.stop();
    auto info = probeMedia(out, &error);
    if (!info) {
        std::cerr << "klikctl video: the recording is not readable: " << error << "\n";
        return 1;
    }
    std::printf("recorded %s: %dx%d, %.2f s, %s\n", out.c_str(), info->width, info->height,
                info->durationSeconds, info->hasAudio ? "with sound" : "no sound");
    return 0;
}

int compose(const Args& a) {
    std::string recording, outDir;
    CompositionRequest req;
    ToolHost host;
    for (size_t i = 1; i < a.size(); ++i) {
        const bool hasValue = i + 1 < a.size();
        double n = 0;
        if (a[i] == "--overlay" && hasValue) {
            req.overlayPath = a[++i];
        } else if (a[i] == "--trailer" && hasValue) {
            req.trailerPath = a[++i];
        } else if (a[i] == "--out" && hasValue) {
            outDir = a[++i];
        } else if (a[i] == "--email" && hasValue) {
            host.emails.push_back(a[++i]);
        } else if ((a[i] == "--at" || a[i] == "--time") && hasValue) {
            if (!number(a[i + 1], n) || n < 0)
                return usageError(self(), a[i] + " needs a number of seconds");
            if (a[i] == "--at")
                req.overlayMovieInsertionTime = n < 1 ? 1 : n;
            else
                req.time = n;
            ++i;
        } else if (recording.empty() && a[i].rfind("--", 0) != 0) {
            recording = a[i];
        } else {
            return usageError(self(), "unexpected argument " + a[i]);
        }
    }
    if (recording.empty() || outDir.empty())
        return usageError(self(), "compose needs RECORDING and --out DIR");
    std::string error;
    if (!createFolderWithIntermediates(outDir, 0755, &error)) {
        std::cerr << "klikctl video: " << outDir << ": " << error << "\n";
        return 1;
    }
    // The chain files the recording away: it works on a copy.
    const std::string copy = joinPath(outDir, lastPathComponent(recording));
    if (!copyFileNoReplace(recording, copy, &error)) {
        std::cerr << "klikctl video: cannot copy " << recording << " to " << copy << ": " << error
                  << "\n";
        return 1;
    }
    Settings settings(joinPath(outDir, "compose-settings.plist"));
    settings.setBool("prefDoOverlayMovie", req.overlayPath.has_value());
    set_gMainImagesFolder(joinPath(outDir, "images"));
    set_gForUploadFolder(joinPath(outDir, "upload"));
    set_gScratchFolder(outDir);
    GLIMRA_Log::setShouldLogToStdErr(true);
    req.url = copy;
    const CompositionResult r = runComposition(req, settings, host);
    if (!r.opened) {
        std::cerr << "klikctl video: " << recording << " is not a readable movie\n";
        return 1;
    }
    if (req.overlayPath)
        std::cout << "muxed   " << (r.exported ? lastPathComponent(r.muxedPath) : "(not written)")
                  << "\n";
    std::cout << "still   " << (r.stillWritten ? r.stillPath : "(not written)") << "\n";
    std::cout << "copies  " << (r.movieCopied ? "movie" : "no movie")
              << (r.stillCopied ? " and still" : "") << " in " << joinPath(outDir, "upload")
              << "\n";
    std::cout << "filed   " << (r.filed ? "yes" : "no") << " into " << joinPath(outDir, "images")
              << "\n";
    return r.stillWritten ? 0 : 1;
}

int run(const Args& a) {
    if (a.empty()) return usageError(self(), "missing subcommand");
    if (a[0] == "devices") return devices();
    if (a[0] == "record") return record(a);
    if (a[0] == "compose") return compose(a);
    return usageError(self(), "unknown subcommand " + a[0]);
}

const Command& self() {
    static const Command c{"video", "list capture devices, record, compose a recording", kUsage,
                           run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
