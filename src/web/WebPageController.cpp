#include "web/WebPageController.h"

#include "app/AppController.h"
#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "web/KioskWebProtocol.h"

namespace klik {

namespace {

// After a session the done page loads at once; the page comes back in
// front this much later, so the guest sees the end of the turn first.
constexpr double kReturnToFrontDelay = 2.0;

}  // namespace

WebPageController::WebPageController(Settings& settings, RunLoop& loop, NotificationCenter& center,
                                     WebBrowserPort& browser, KioskUi* ui)
    : settings_(settings), loop_(loop), center_(center), browser_(browser), ui_(ui) {}

WebPageController::~WebPageController() {
    if (returnTimer_) returnTimer_->invalidate();
    if (endedObserver_) center_.removeObserver(endedObserver_);
    if (errorObserver_) center_.removeObserver(errorObserver_);
}

void WebPageController::startWebView() {
    if (!settings_.boolForKey(key::prefDoUseWebView)) return;
    if (!created_) {
        if (!browser_.createWindow()) {
            GLIMRA_Log::err(
                "startWebView: the web page window could not be created; the kiosk "
                "runs without the page");
            return;
        }
        created_ = true;
        awakeFromNib();
        doInitialize();
    }
    browser_.orderFront(false);
}

void WebPageController::orderOutWebWindow() {
    if (created_) browser_.orderOut();
}

void WebPageController::hideWebView(bool hide) {
    if (!created_) return;
    if (hide)
        browser_.orderOut();
    else
        browser_.orderFront(false);
}

void WebPageController::awakeFromNib() {
    if (awoken_) return;
    awoken_ = true;
    // The page runs full-size.
    if (ui_) ui_->setMenuBarHidden(true);
    browser_.fillMainScreen();
    endedObserver_ = center_.addObserver(
        kNotifictionPhotoSessionEnded,
        [this](const Notification& n) { handlePhotoSessionEndedNotification(n); });
    errorObserver_ = center_.addObserver(
        kNotifictionPhotoSessionError,
        [this](const Notification& n) { handlePhotoSessionErrorNotification(n); });
}

bool WebPageController::doInitialize() {
    browser_.fillMainScreen();
    browser_.orderFront(false);
    _homePageUrl = homePageAddress(settings_);
    GLIMRA_Log::debugf("web page: start page [%s]", _homePageUrl.c_str());
    openUrlPage(_homePageUrl);
    return true;
}

void WebPageController::openUrlPage(const std::string& address) {
    browser_.loadInMainFrame(address);
    browser_.orderFront(true);
}

bool WebPageController::forceSelfToFront() {
    browser_.orderFront(true);
    return false;
}

void WebPageController::waitToOpenWindow() {
    browser_.orderFront(false);
}

bool WebPageController::didFinishLoadForFrame(const std::string& address,
                                              const std::string& mimeType, bool ok,
                                              const std::string& error) {
    if (!ok) {
        // The page stays as the browser left it.
        GLIMRA_Log::errf("web page: load of [%s] failed: %s", address.c_str(), error.c_str());
        return false;
    }
    GLIMRA_Log::debugf("web page: finished [%s], MIME type [%s]", address.c_str(),
                       mimeType.c_str());
    return isSittingMimeType(mimeType);
}

void WebPageController::sittingDocumentDidArrive(std::string_view body,
                                                 const std::string& address) {
    takeSitting(sittingInformation(body, address));
}

void WebPageController::sittingDocumentRefused(const std::string& address, const std::string& why) {
    GLIMRA_Log::errf("sitting from [%s] refused: %s", address.c_str(), why.c_str());
    Dictionary info;
    if (!address.empty()) info["url"] = Value(address);
    takeSitting(std::move(info));
}

void WebPageController::takeSitting(Dictionary info) {
    GLIMRA_Log::debug("web page: sitting information " + Value(info).description());
    _webReturnInfo = std::move(info);
    browser_.setImageViewHidden(false);
    center_.postOnMainThread(
        Notification{kNotifictionStartPhotoSession, Value(makeOpaque(this)), std::nullopt}, false,
        &loop_);
}

void WebPageController::handlePhotoSessionEndedNotification(const Notification&) {
    _webReturnInfo.reset();
    const std::string address = donePageAddress(settings_);
    GLIMRA_Log::debugf("web page: session ended, loading [%s]", address.c_str());
    browser_.loadInMainFrame(address);
    if (returnTimer_) returnTimer_->invalidate();
    returnTimer_ = loop_.performAfterDelay(kReturnToFrontDelay, [this] { waitToOpenWindow(); });
}

void WebPageController::handlePhotoSessionErrorNotification(const Notification& n) {
    std::optional<std::string> sittingId, message;
    if (_webReturnInfo) sittingId = findString(*_webReturnInfo, "sittingid");
    if (const std::string* msg = n.info("msg").string(); msg && !msg->empty()) message = *msg;
    const std::string address = errorPageAddress(settings_, sittingId, message);
    GLIMRA_Log::debugf("web page: session refused, opening [%s]", address.c_str());
    // The sitting information stays: the page shows what went wrong with it.
    openUrlPage(address);
}

}  // namespace klik
