#include "photo/KioskPhotoPipeline.h"

#include "photo/ImageFolders.h"

#include <new>

#include "imaging/ImageCodec.h"
#include "imaging/ImageLimits.h"
#include "imaging/PhotoDisplayDecode.h"
#include "log/Log.h"
#include "photo/DistributedNotificationCenter.h"

namespace klik {

KioskPhotoPipeline::KioskPhotoPipeline(KioskUi& ui, RunLoop& loop, Settings& settings,
                                       SessionSource session, std::function<void()> openPref,
                                       PhotoFiler::AddressSource address, PhotoFiler::Clock now)
    : ui_(ui),
      loop_(loop),
      session_(std::move(session)),
      openPref_(std::move(openPref)),
      filer_(settings, *this, std::move(address), std::move(now)),
      links_(settings),
      settings_(settings) {
    applyImagePixelLimitSetting(settings);
    // Upload copies owed from an earlier run are worked off from the start.
    if (filer_.uploadBacklog().count() > 0) scheduleScratchRetry();
}

namespace {
// How long a print notice stays on the floating panel, and its fade.
constexpr double kPrintAlertSeconds = 4;
constexpr double kPrintAlertFadeSeconds = 0.5;
}  // namespace

void KioskPhotoPipeline::attachPrintPort(PrintPort& port, PrintFlow::AlertSink hud,
                                         const std::string& frameName) {
    if (!hud)
        hud = [this](const std::string& text) {
            ui_.showFloatingPanel(text, 1.0);
            loop_.performAfterDelay(kPrintAlertSeconds,
                                    [this] { ui_.fadeOutFloatingPanel(kPrintAlertFadeSeconds); });
        };
    print_ = std::make_unique<PrintFlow>(settings_, port, std::move(hud), frameName);
}

static Data photoBytes(const Dictionary& dict) {
    const Value* data = find(dict, kPhotoDataKey);
    if (data == nullptr || data->data() == nullptr) return {};
    return *data->data();
}

bool KioskPhotoPipeline::printCurrentPictureForOperator() {
    if (!print_) {
        GLIMRA_Log::err("printCurrentPicture: no printer support attached; nothing printed");
        return false;
    }
    bool ok = false;
    loop_.performOnMain(
        [&] {
            const auto [photo, framed] = currentPhoto();
            ok = print_->printCurrentPicture(photo, PrintFlow::Sender::Operator, framed);
        },
        true);
    return ok;
}

std::pair<Data, bool> KioskPhotoPipeline::currentPhoto() const {
    std::lock_guard lock(mutex_);
    return {photoBytes(imageDict_), currentIsFramed_};
}

void KioskPhotoPipeline::setImageDict(Dictionary d) {
    std::lock_guard lock(mutex_);
    imageDict_ = std::move(d);
    currentIsFramed_ = false;
}

Dictionary KioskPhotoPipeline::imageDict() const {
    std::lock_guard lock(mutex_);
    return imageDict_;
}

std::optional<DisplayPhoto> KioskPhotoPipeline::decodeForDisplay(const Data& photo,
                                                                 const std::string& name,
                                                                 std::string* error) {
    std::optional<DisplayBitmap> decoded;
    try {
        decoded = decodePhotoForDisplay(photo, kDisplayMinLongSide, error);
    } catch (const std::bad_alloc&) {
        // Memory ran out for this picture; the kiosk goes on without it.
        GLIMRA_Log::err("decodeForDisplay: out of memory decoding \"" + name + "\"");
        if (error) *error = "out of memory";
        return std::nullopt;
    }
    if (!decoded) return std::nullopt;
    DisplayPhoto out;
    out.width = decoded->sourceWidth;
    out.height = decoded->sourceHeight;
    const int w = decoded->bitmap.width;
    const int h = decoded->bitmap.height;
    out.picture = Picture::fromRGBA(name, std::move(decoded->bitmap.pixels), w, h);
    if (!out.picture) {
        if (error) *error = "the decoded picture has no pixels";
        return std::nullopt;
    }
    return out;
}

std::string KioskPhotoPipeline::linkOf(const FilingResult& r) {
    if (!r.uploadWritten) return {};
    std::string why;
    std::string link = links_.linkForUploadCopy(r.uploadPath, &why);
    if (link.empty() && !why.empty()) GLIMRA_Log::err("no gallery link for the photo: " + why);
    return link;
}

FiledPhoto KioskPhotoPipeline::lastFiledPhoto() const {
    std::lock_guard lock(mutex_);
    return FiledPhoto{last_.filed ? last_.filedPath : std::string(),
                      last_.uploadWritten ? last_.uploadPath : std::string()};
}

std::optional<TurnComposite> KioskPhotoPipeline::composeTurnShots(
    const std::vector<std::string>& shotPaths, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<TurnComposite> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (!print_) return fail("no printer support is attached to draw the print picture");
    std::vector<Data> shots;
    for (const std::string& path : shotPaths) {
        std::string why;
        if (std::optional<Data> bytes = readFileData(path, &why)) {
            shots.push_back(std::move(*bytes));
        } else {
            GLIMRA_Log::err("composeTurnShots: the shot " + path + " cannot be read (" + why +
                            "); it is left out");
        }
    }
    if (shots.empty()) return fail("none of the turn's shots can be read");
    std::string why;
    const Bitmap composite = print_->composeShots(shots, &why);
    if (composite.empty()) return fail(why);
    std::optional<Data> jpeg = encodeJpegFromRGBA(composite, 90, {}, &why);
    if (!jpeg) return fail("the print picture cannot be encoded: " + why);
    const std::string name = "composite.jpg";
    const PhotoSession session = session_ ? session_() : PhotoSession{};
    FilingResult r;
    try {
        r = filer_.fileFinishedPicture(*jpeg, name, session);
    } catch (const std::bad_alloc&) {
        return fail("out of memory filing the print picture");
    }
    TurnComposite out;
    out.link = linkOf(r);
    out.filed = FiledPhoto{r.filed ? r.filedPath : std::string(),
                           r.uploadWritten ? r.uploadPath : std::string()};
    if (std::optional<DisplayPhoto> shown = decodeForDisplay(*jpeg, name, &why)) out.shown = *shown;
    {
        std::lock_guard lock(mutex_);
        imageDict_ =
            Dictionary{{kPhotoDataKey, Value(std::move(*jpeg))}, {kPhotoFilenameKey, Value(name)}};
        currentIsFramed_ = true;
        lastLink_ = out.link;
        last_ = r;
        last_.square = Data();
    }
    if (r.keptInMemory || r.uploadOwed) scheduleScratchRetry();
    if (!r.filed)
        GLIMRA_Log::err(
            "composeTurnShots: the print picture was made but not filed" +
            (r.scratchPath.empty() ? std::string() : " (it waits at " + r.scratchPath + ")"));
    return out;
}

std::string KioskPhotoPipeline::shareLinkOfLastPhoto() const {
    std::lock_guard lock(mutex_);
    return lastLink_;
}

FilingResult KioskPhotoPipeline::lastResult() const {
    std::lock_guard lock(mutex_);
    return last_;
}

bool KioskPhotoPipeline::postProcessNewPhoto() {
    const Dictionary dict = imageDict();
    const Value* data = find(dict, kPhotoDataKey);
    if (data == nullptr || data->data() == nullptr || data->data()->empty()) {
        GLIMRA_Log::debug("postProcessNewPhoto: there is no photo to keep");
        return false;
    }
    const std::string name = findString(dict, kPhotoFilenameKey).value_or("photo.jpg");
    // The guest's data belongs to the controller on the main thread.
    PhotoSession session;
    if (session_) loop_.performOnMain([&] { session = session_(); }, true);
    FilingResult r;
    try {
        r = filer_.postProcessNewPhoto(*data->data(), name, session);
    } catch (const std::bad_alloc&) {
        // The photo stays the current one (and in the camera): the operator
        // can keep it again once memory is free.
        GLIMRA_Log::err("postProcessNewPhoto: out of memory filing \"" + name +
                        "\"; the photo is not filed");
        notifyOperator("Out of memory while filing the photo " + name +
                       ". It is not filed; it is still the current photo.");
        return false;
    }
    // The guest's link in the booth gallery, for the review screen's code.
    const std::string link = linkOf(r);
    {
        std::lock_guard lock(mutex_);
        lastLink_ = link;
        // From here on the photo is its square: printing uses what was filed.
        if (!r.square.empty() && imageDict_ == dict) imageDict_[kPhotoDataKey] = Value(r.square);
        last_ = r;
        last_.square = Data();
    }
    if (r.keptInMemory || r.uploadOwed) scheduleScratchRetry();
    // The shot's RAW goes beside the filed photo, as it came.
    if (const Value* raw = find(dict, kPhotoRawDataKey); raw && raw->data()) {
        const std::string rawName = findString(dict, kPhotoRawFilenameKey).value_or("photo.raw");
        if (r.filed)
            filer_.keepRawBeside(r.filedPath, *raw->data(), rawName);
        else
            GLIMRA_Log::err("the RAW file " + rawName + " is not kept: its photo " + name +
                            " was not filed now");
    }
    return r.filed;
}

void KioskPhotoPipeline::scheduleScratchRetry() {
    loop_.performOnMain(
        [this, weak = std::weak_ptr<bool>(alive_)] {
            if (weak.expired() || retryScheduled_) return;
            retryScheduled_ = true;
            loop_.performAfterDelay(kScratchRetrySeconds, [this, weak] {
                if (weak.expired()) return;
                retryScheduled_ = false;
                if (filer_.retryPendingWork() > 0) scheduleScratchRetry();
            });
        },
        false);
}

void KioskPhotoPipeline::notifyOperator(const std::string& text) {
    loop_.performOnMain(
        [this, text, weak = std::weak_ptr<bool>(alive_)] {
            if (weak.expired()) return;
            ui_.showFloatingPanel(text, 1.0);
            loop_.performAfterDelay(kOperatorNoticeSeconds, [this, weak] {
                if (!weak.expired()) ui_.fadeOutFloatingPanel(kPrintAlertFadeSeconds);
            });
        },
        false);
}

void KioskPhotoPipeline::printCurrentPictureWithPrompt() {
    if (!print_) {
        GLIMRA_Log::err(
            "printCurrentPictureWithPrompt: no printer support attached; nothing printed");
        return;
    }
    const std::vector<std::string> emails =
        session_ ? session_().emails : std::vector<std::string>{};
    // The sheet and the dialogs are windows: they run on the main thread even
    // when the keep action came from the camera's event thread.
    loop_.performOnMain(
        [&] {
            const auto [photo, framed] = currentPhoto();
            print_->printCurrentPictureWithPrompt(photo, emails, framed);
        },
        true);
}

int KioskPhotoPipeline::runFilingAlert(const std::string& message, const std::string& informative,
                                       const std::vector<std::string>& buttons) {
    int answer = -1;
    const KioskAlert alert{message, informative, buttons};
    loop_.performOnMain([&] { answer = ui_.runAlert(alert); }, true);
    return answer;
}

void KioskPhotoPipeline::openPreferencesAfterDelay(double delaySeconds) {
    if (!openPref_) return;
    auto open = openPref_;
    RunLoop* loop = &loop_;
    loop_.performOnMain([loop, open, delaySeconds] { loop->performAfterDelay(delaySeconds, open); },
                        false);
}

bool KioskPhotoPipeline::announce(const std::string& name, const std::string& object,
                                  const Dictionary& userInfo) {
    bool ok = false;
    std::string error;
    loop_.performOnMain(
        [&] {
            ok =
                DistributedNotificationCenter::postNotificationName(name, object, userInfo, &error);
        },
        true);
    if (!ok) GLIMRA_Log::err("announcement " + name + " not sent: " + error);
    return ok;
}

bool KioskPhotoPipeline::validateAllFolders() {
    std::vector<std::string> missing;
    const bool ok = klik::validateAllFolders(settings_, &missing);
    std::lock_guard lock(missingMutex_);
    missing_ = std::move(missing);
    return ok;
}

std::vector<std::string> KioskPhotoPipeline::missingFolders() const {
    std::lock_guard lock(missingMutex_);
    return missing_;
}

void KioskPhotoPipeline::initFolderGlobalsAtLaunch() {
    klik::initFolderGlobalsAtLaunch(settings_);
    // The booth's gallery secret is made at first start, so the kiosk and
    // klik-share agree on every link from the first photo on.
    std::string why;
    if (!links_.prepareSecret(&why)) GLIMRA_Log::err("the booth's share secret: " + why);
}

}  // namespace klik
