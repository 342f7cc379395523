#include "soak/Soak.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <sstream>

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "camera/GLIMRA_Camera.h"
#include "camera/RegistryCameraPort.h"
#include "camera/sim/SimCamSDK.h"
#include "foundation/DateFormat.h"
#include "foundation/FixedPaths.h"
#include "foundation/LocalTime.h"
#include "foundation/ManualRunLoop.h"
#include "foundation/NotificationCenter.h"
#include "foundation/PropertyList.h"
#include "foundation/Settings.h"
#include "photo/ImageFolders.h"
#include "photo/KioskPhotoPipeline.h"
#include "soak/HeldDelays.h"
#include "soak/SoakKioskUi.h"
#include "support/SimCameraTestSupport.h"
#include "support/TempDir.h"
#include "support/TestMounts.h"

namespace klik::soak {

namespace fs = std::filesystem;
using test::TmpfsMount;

namespace {

constexpr const char* kStation = "Soak Station";
// Guests after the last fault is mended, counted apart from the sessions.
constexpr std::uint64_t kClosingGuests = 2;
// Samples start after a tenth of the sessions, at most this many (a run
// stopped at its wall-time limit still gets its trend).
constexpr std::uint64_t kMaxWarmUpSessions = 100;

// A folder for the run: the given one (kept) or a temporary one.
class RunFolder {
  public:
    explicit RunFolder(const std::string& dir) {
        if (dir.empty()) {
            temp_ = std::make_unique<test::TempDir>();
            path_ = temp_->path();
        } else {
            path_ = dir;
            fs::create_directories(path_);
        }
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }

  private:
    std::unique_ptr<test::TempDir> temp_;
    std::string path_;
};

// The next moment after `now` (local time) at hh:mm:ss.
Date nextLocal(Date now, int hh, int mm, int ss) {
    const std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localTimeOf(t, tm);
    tm.tm_hour = hh;
    tm.tm_min = mm;
    tm.tm_sec = ss;
    tm.tm_isdst = -1;
    std::time_t target = localMakeTime(tm);
    if (target <= t) {
        tm.tm_mday += 1;
        tm.tm_isdst = -1;
        target = localMakeTime(tm);
    }
    return std::chrono::system_clock::from_time_t(target);
}

class Soak {
  public:
    explicit Soak(const SoakOptions& o)
        : opt_(o),
          folder_(o.workDir),
          plan_(o.seed, o.faultRate),
          loop_(startDate()),
          audit_(folder_.file("Images"), folder_.file("Up"), folder_.file("Scratch"), kStation) {
        result_.options = o;
    }
    ~Soak() { shutDown(); }

    SoakResult run();

  private:
    static Date startDate() {
        Date d;
        parseIso8601("2026-03-05T14:30:00", d);
        return d;
    }
    void setUpMounts();
    bool start();
    void shutDown();
    void problem(const std::string& what) {
        if (result_.problems.size() < 50)
            result_.problems.push_back(what);
        else if (result_.problems.size() == 50)
            result_.problems.push_back("(more left out)");
    }
    bool pump(const std::function<bool()>& done, int seconds = 20) {
        const bool ok = loop_.runUntil(done, std::chrono::seconds(seconds));
        clock_ = loop_.elapsed();
        return ok;
    }
    bool settle() {
        if (holds_.holding()) return true;
        const bool ok = test::settleSimCamera(loop_, *sim_);
        clock_ = loop_.elapsed();
        return ok;
    }
    std::uint32_t screen() const { return controller_->screenNumber(); }
    bool runTo(std::uint32_t target);
    void playGuest(std::uint64_t n);
    void startFault(FaultKind k, unsigned sessions);
    void endFault(FaultKind k);
    void bringCameraBack();
    void recordShots(const std::string& guest);
    void trace(const std::string& line) {
        if (opt_.trace) std::cerr << "soak [" << loop_.elapsed() << "] " << line << "\n";
    }
    void collectDelivered();
    bool sharesUp() const { return main_ && main_->mounted() && upload_ && upload_->mounted(); }

    SoakOptions opt_;
    RunFolder folder_;
    FaultPlan plan_;
    ManualRunLoop loop_;
    PhotoAudit audit_;
    SoakResult result_;

    std::unique_ptr<TmpfsMount> scratch_, main_, upload_, config_;
    unsigned long scratchSize_ = 0;
    std::unique_ptr<Settings> settings_;
    SoakKioskUi ui_;
    RegistryCameraPort port_;
    HeldDelays holds_;
    std::shared_ptr<SimCamSDK> sim_;
    std::unique_ptr<KioskPhotoPipeline> pipeline_;
    std::unique_ptr<AppController> controller_;
    std::atomic<double> clock_{0};
    std::atomic<double> shift_{0};
    std::uint64_t settledTurn_ = 0;
    std::size_t deliveredSeen_ = 0;
    std::array<unsigned, kFaultKinds> remaining_{};
    bool slowPending_ = false;  // a held download waits for the next guest
    bool vanishArmed_ = false;
    std::vector<std::string> codes_;
    std::string lastGuest_;
    std::uint64_t attributed_ = 0;
    bool started_ = false;
};

void Soak::setUpMounts() {
    const std::string ns = test::usePrivateMountNamespace();
    const bool big = static_cast<std::uint64_t>(opt_.pictureWidth) * opt_.pictureHeight > 4'000'000;
    scratchSize_ = big ? (1ul << 30) : (64ul << 20);
    const unsigned long share = big ? (512ul << 20) : (64ul << 20);
    const std::string why = !ns.empty() ? ns : ::geteuid() != 0 ? "mounts need root" : "";
    if (why.empty()) {
        scratch_ =
            std::make_unique<TmpfsMount>(folder_.file("Scratch"), scratchSize_, "klik-scratch");
        main_ = std::make_unique<TmpfsMount>(folder_.file("Images"), share, "klik-main-share");
        upload_ = std::make_unique<TmpfsMount>(folder_.file("Up"), share, "klik-upload-share");
        config_ = std::make_unique<TmpfsMount>(folder_.file("config"), 16ul << 20, "klik-config");
    }
    auto skip = [&](FaultKind k, const TmpfsMount* m) {
        const std::string reason = !why.empty() ? why : !m->mounted() ? m->unavailableReason() : "";
        if (!reason.empty()) {
            plan_.disable(k, reason);
            result_.skipped[FaultPlan::index(k)] = reason;
        }
    };
    skip(FaultKind::ScratchFull, scratch_.get());
    skip(FaultKind::MainShareDown, main_.get());
    skip(FaultKind::UploadShareDown, upload_.get());
    skip(FaultKind::SettingsUnwritable, config_.get());
    for (const char* f : {"Scratch", "Images", "Up", "config", "root"})
        ::mkdir(folder_.file(f).c_str(), 0755);
}

bool Soak::start() {
    setFixedRoot(folder_.file("root"));
    RunLoop::setMain(&loop_);
    settings_ = std::make_unique<Settings>(folder_.file("config/settings.plist"));
    Settings& s = *settings_;
    s.setString("scratchFolder", folder_.file("Scratch"));
    s.setString("prefKioskStationName", kStation);
    s.setBool("prefUseShortPathForWeb", true);
    s.setBool(key::prefShowLegalese, true);
    s.setBool(key::prefDoCountdownInSngleMonitorMode, true);
    s.setInteger(key::liveScreenCountValue, 3);
    s.setInteger(key::prefDelayScreen2, 3);
    s.setInteger(key::prefConfettiDelay, 2);
    s.setInteger(key::prefCameraInputTypeTag, 1);
    initFolderGlobalsAtLaunch(s);
    storeChosenFolder(mainImagesFolderParam(), folder_.file("Images"), s);
    storeChosenFolder(forUploadFolderParam(), folder_.file("Up"), s);

    SimConfig c = test::smallSimConfig();
    c.pictureWidth = opt_.pictureWidth;
    c.pictureHeight = opt_.pictureHeight;
    c.downloadChunkSize = std::max<std::uint64_t>(
        4096, static_cast<std::uint64_t>(opt_.pictureWidth) * opt_.pictureHeight / 64);
    sim_ = std::make_shared<SimCamSDK>(std::move(c));
    sim_->setDelayHandler(holds_.handler());
    GLIMRA_Camera::setSDK(sim_);
    GLIMRA_Camera::setMainLoop(&loop_);
    GLIMRA_Camera::setTimeouts({0.2, 0.2, 0.05});
    controller_ = std::make_unique<AppController>(
        AppController::Environment{ui_, loop_, s, NotificationCenter::defaultCenter()});
    controller_->setCamera(&port_);
    const Date origin = startDate();
    pipeline_ = std::make_unique<KioskPhotoPipeline>(
        ui_, loop_, s, [this] { return controller_->photoFilingSession(); }, [] {},
        [] { return std::optional<std::string>("00:11:22:33:44:55"); },
        [this, origin] {
            return origin + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                std::chrono::duration<double>(clock_.load() + shift_.load()));
        });
    controller_->setPhotoPipeline(pipeline_.get());
    started_ = true;
    GLIMRA_Camera::initializeClass();
    if (!pump([&] { return GLIMRA_Camera::loadedCamera() != nullptr; })) {
        problem("the camera never came up at start");
        return false;
    }
    settle();
    controller_->startOver();
    return screen() == 1;
}

void Soak::shutDown() {
    if (!started_) return;
    started_ = false;
    holds_.release();
    if (sim_) loop_.runUntil([&] { return sim_->eventsIdle(); }, std::chrono::seconds(10));
    controller_.reset();
    loop_.runAlongside([] { GLIMRA_Camera::shutdown(); }, std::chrono::seconds(20));
    loop_.runPending();
    GLIMRA_Camera::setSDK(nullptr);
    GLIMRA_Camera::setMainLoop(nullptr);
    pipeline_.reset();
    RunLoop::setMain(nullptr);
    setFixedRoot("");
}

bool Soak::runTo(std::uint32_t target) {
    for (int steps = 0; screen() != target; ++steps) {
        if (steps >= 500) {
            problem("guest stuck on screen " + std::to_string(screen()));
            return false;
        }
        if (screen() == 4 && slowPending_) {
            // The slow download of the guest before comes in now.
            holds_.release();
            slowPending_ = false;
            trace("slow download released");
        }
        if (screen() == 6 && settledTurn_ != controller_->turnNumber()) {
            settledTurn_ = controller_->turnNumber();
            if (!pump([&] {
                    return controller_->turnShot().outcome != AppController::ShotOutcome::Waiting ||
                           (holds_.holding() && holds_.held() > 0);
                })) {
                problem("no answer to the shot of turn " + std::to_string(settledTurn_));
                return false;
            }
        }
        if (!loop_.advanceToNextTimer()) {
            problem("no timer left on screen " + std::to_string(screen()));
            return false;
        }
        clock_ = loop_.elapsed();
    }
    return true;
}

// Pictures are made only for a guest's shot, and may be made after that
// guest's turn has ended (a slow camera): every picture made since the
// last call belongs to `guest`, the last guest who reached the shot.
void Soak::recordShots(const std::string& guest) {
    const std::uint64_t made = sim_->picturesMade();
    for (std::uint64_t s = attributed_ + 1; s <= made; ++s) {
        audit_.shotMadeFor(s, guest);
        trace("picture " + std::to_string(s) + " made for " + guest);
    }
    attributed_ = made;
}

void Soak::collectDelivered() {
    for (const auto& p : sim_->deliveredPictures(deliveredSeen_)) {
        audit_.delivered(p.serial);
        ++deliveredSeen_;
    }
}

void Soak::bringCameraBack() {
    sim_->setVanishDuringDownload(std::nullopt);
    vanishArmed_ = false;
    if (!sim_->pluggedCameras().empty() && GLIMRA_Camera::loadedCamera()) return;
    pump([&] { return GLIMRA_Camera::loadedCamera() == nullptr && !port_.hasCamera(); });
    settle();
    if (sim_->pluggedCameras().empty()) sim_->plugCamera(SimCameraSpec{});
    if (!pump([&] { return GLIMRA_Camera::loadedCamera() != nullptr; }))
        problem("the camera did not come back after it was plugged in again");
    settle();
}

void Soak::startFault(FaultKind k, unsigned sessions) {
    const std::size_t i = FaultPlan::index(k);
    if (remaining_[i] > 0) return;  // already under way
    bool ok = true;
    switch (k) {
        case FaultKind::CameraVanish:
            sim_->setVanishDuringDownload(50);
            vanishArmed_ = true;
            break;
        case FaultKind::CameraBusy:
            sim_->setFault("CamSendCommand", SimFault{0x81, 0, 1, std::nullopt});
            break;
        case FaultKind::CameraSlow:
            if (slowPending_ || holds_.holding()) return;
            holds_.hold();
            sim_->setFault("CamDownload", SimFault{0, 15, 1, std::nullopt});
            break;
        case FaultKind::ScratchFull:
            ok = scratch_->resize(scratch_->usedBytes() + (256ul << 10)) && scratch_->fillUp() > 0;
            break;
        case FaultKind::MainShareDown:
            ok = main_->takeAway();
            break;
        case FaultKind::UploadShareDown:
            ok = upload_->takeAway();
            break;
        case FaultKind::SettingsUnwritable:
            ok = config_->remountReadOnly();
            break;
        case FaultKind::DayBoundary: {
            // The turn (about 20 s) runs across midnight or across 03:00.
            const Date now =
                startDate() + std::chrono::duration_cast<std::chrono::system_clock::duration>(
                                  std::chrono::duration<double>(clock_ + shift_));
            const bool midnight = plan_.pick(2) == 0;
            const Date target = midnight ? nextLocal(now, 23, 59, 50) : nextLocal(now, 2, 59, 50);
            shift_ = shift_ + std::chrono::duration<double>(target - now).count();
            break;
        }
    }
    if (!ok) {
        problem(std::string("could not start the fault ") + faultName(k));
        return;
    }
    ++result_.faults[i];
    remaining_[i] = sessions;
    trace(std::string("fault ") + faultName(k) + " for " + std::to_string(sessions));
}

void Soak::endFault(FaultKind k) {
    bool ok = true;
    switch (k) {
        case FaultKind::CameraVanish:
            bringCameraBack();
            break;
        case FaultKind::CameraBusy:
        case FaultKind::DayBoundary:
            break;
        case FaultKind::CameraSlow:
            // Released during the next guest's countdown (runTo).
            if (holds_.holding()) slowPending_ = true;
            break;
        case FaultKind::ScratchFull:
            ok = ::unlink(folder_.file("Scratch/.filler").c_str()) == 0 &&
                 scratch_->resize(scratchSize_);
            break;
        case FaultKind::MainShareDown:
            ok = main_->bringBack();
            break;
        case FaultKind::UploadShareDown:
            ok = upload_->bringBack();
            break;
        case FaultKind::SettingsUnwritable:
            ok = config_->remountReadWrite();
            break;
    }
    if (!ok) problem(std::string("could not end the fault ") + faultName(k));
    trace(std::string("fault ") + faultName(k) + " ends");
}

void Soak::playGuest(std::uint64_t n) {
    // Now and then a guest comes back with the code of an earlier one.
    std::string code;
    if (!codes_.empty() && plan_.pick(20) == 0) {
        code = codes_[plan_.pick(static_cast<unsigned>(codes_.size()))];
    } else {
        char buf[32];
        std::snprintf(buf, sizeof buf, "G%07llu", static_cast<unsigned long long>(n));
        code = buf;
        if (codes_.size() < 1000) codes_.push_back(code);
    }
    if (!lastGuest_.empty()) recordShots(lastGuest_);
    trace("guest " + code);
    controller_->_barcodeEntryField1.setStringValue(code);
    controller_->ibBarcodeSendOnEnterAction(&controller_->_barcodeEntryField1);
    if (screen() == 1) {
        ++result_.turnedAway;
        return;
    }
    lastGuest_ = code;
    const bool done = runTo(7) && runTo(1);
    recordShots(code);
    if (!done) {
        controller_->startOver();
        return;
    }
    const auto& review = controller_->lastReview();
    if (review.guest == code && review.photoShown)
        ++result_.photosShown;
    else
        ++result_.apologies;
    trace("review for " + review.guest + ": " + (review.photoShown ? "photo" : review.message));
}

SoakResult Soak::run() {
    const auto wallStart = std::chrono::steady_clock::now();
    setUpMounts();
    if (!start()) return result_;
    audit_.reserve(opt_.sessions + kClosingGuests + 16);
    const std::uint64_t warmUp =
        std::clamp<std::uint64_t>(opt_.sessions / 10, 1, kMaxWarmUpSessions);
    for (std::uint64_t n = 1; n <= opt_.sessions; ++n) {
        if (opt_.wallLimitSeconds > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count() >
                opt_.wallLimitSeconds) {
            result_.stoppedEarly = true;
            break;
        }
        if (auto f = plan_.next()) startFault(f->kind, f->sessions);
        playGuest(n);
        ++result_.sessions;
        if (vanishArmed_ || !GLIMRA_Camera::loadedCamera()) bringCameraBack();
        for (std::size_t i = 0; i < kFaultKinds; ++i) {
            if (remaining_[i] > 0 && --remaining_[i] == 0) endFault(static_cast<FaultKind>(i));
        }
        settle();
        if (!lastGuest_.empty()) recordShots(lastGuest_);
        collectDelivered();
        if (sharesUp() && !holds_.holding()) audit_.collectFiled();
        if (n >= warmUp && (n - warmUp) % opt_.sampleEvery == 0)
            result_.samples.push_back(sampleProcess(n));
        if (opt_.progressEvery && n % opt_.progressEvery == 0) {
            const auto t = audit_.totals();
            std::cerr << "soak: " << n << " sessions, " << t.delivered << " delivered, " << t.filed
                      << " filed and checked, " << result_.problems.size() << " problems\n";
        }
    }
    // Every fault mended, then the kiosk's retries get their time.
    for (std::size_t i = 0; i < kFaultKinds; ++i) {
        if (remaining_[i] > 0) {
            remaining_[i] = 0;
            endFault(static_cast<FaultKind>(i));
        }
    }
    holds_.release();
    slowPending_ = false;
    settle();
    // Two more guests: photos still waiting go along with theirs.
    for (std::uint64_t n = result_.sessions + 1; n <= result_.sessions + kClosingGuests; ++n) {
        playGuest(n);
        settle();
        recordShots(lastGuest_);
    }
    for (int i = 0; i < 4; ++i) {
        loop_.advance(KioskPhotoPipeline::kScratchRetrySeconds + 1);
        clock_ = loop_.elapsed();
        settle();
    }
    if (!lastGuest_.empty()) recordShots(lastGuest_);
    collectDelivered();
    result_.photos = audit_.finish();
    for (const auto& p : audit_.problems()) problem(p);

    // The settings file must still be whole and hold the folders.
    settings_->synchronize();
    const PlistResult plist = plistFromFile(settings_->path());
    if (!plist.value || !plist.value->dictionary() ||
        !plist.value->dictionary()->count("mainImagesFolder"))
        problem("the settings file is not whole after the soak: " + plist.error);

    result_.slopes = slopesPerThousand(result_.samples);
    result_.laterSlopes = laterHalfSlopesPerThousand(result_.samples);
    result_.alerts = ui_.alerts;
    result_.operatorNotices = ui_.panels;
    result_.virtualHours = (loop_.elapsed() + shift_) / 3600;
    result_.wallSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
    shutDown();
    return result_;
}

}  // namespace

std::string SoakResult::report() const {
    std::ostringstream r;
    r << "sessions: " << sessions << " (+" << kClosingGuests << " closing guests)";
    if (stoppedEarly)
        r << " of " << options.sessions << " asked: stopped at the wall-time limit of "
          << options.wallLimitSeconds << " s";
    r << "\n";
    r << "seed: " << options.seed << "\n";
    r << "photo size: " << options.pictureWidth << "x" << options.pictureHeight << "\n";
    r << "fault rate: " << options.faultRate << "\n";
    r << "wall time (s): " << wallSeconds << "\n";
    r << "virtual time (h): " << virtualHours << "\n";
    r << "guests shown their photo: " << photosShown << "\n";
    r << "guests told no photo: " << apologies << "\n";
    r << "guests turned away: " << turnedAway << "\n";
    for (std::size_t i = 0; i < kFaultKinds; ++i) {
        r << "fault " << faultName(static_cast<FaultKind>(i)) << ": " << faults[i];
        if (!skipped[i].empty()) r << " (skipped: " << skipped[i] << ")";
        r << "\n";
    }
    r << "fault print-queue-stopped: not in this soak (printing goes through CUPS from the Qt "
         "side; tests/ui covers a stopped queue with a private cupsd)\n";
    r << "photos delivered by the camera: " << photos.delivered << "\n";
    r << "photos filed with upload copy: " << photos.filed << "\n";
    r << "photos filed, upload copy owed: " << photos.filedNoUpload << "\n";
    r << "photos in scratch: " << photos.inScratch << "\n";
    r << "photos lost: " << photos.lost << "\n";
    r << "operator notices: " << operatorNotices << "\n";
    for (const auto& [title, n] : alerts) r << "operator alert \"" << title << "\": " << n << "\n";
    for (const auto& [half, s] :
         {std::pair{"", &slopes}, std::pair{"later half: ", &laterSlopes}}) {
        r << half << "rss slope (KiB per 1000 sessions): " << s->rssKiB << "\n";
        r << half << "heap in use slope (KiB per 1000 sessions): " << s->heapKiB << "\n";
        r << half << "open fds slope (per 1000 sessions): " << s->openFds << "\n";
        r << half << "threads slope (per 1000 sessions): " << s->threads << "\n";
    }
    if (!samples.empty()) {
        for (const auto& [which, p] : {std::pair{"first", &samples.front()},
                                       std::pair{"middle", &samples[samples.size() / 2]},
                                       std::pair{"last", &samples.back()}})
            r << which << " sample (session " << p->session << "): rss " << p->rssKiB
              << " KiB, heap " << p->heapKiB << " KiB, fds " << p->openFds << ", threads "
              << p->threads << "\n";
    }
    r << "problems: " << problems.size() << "\n";
    for (const auto& p : problems) r << "problem: " << p << "\n";
    return r.str();
}

SoakResult runSoak(const SoakOptions& options) {
    Soak soak(options);
    return soak.run();
}

}  // namespace klik::soak
