#pragma once
// The kiosk web page: shows the start page of the kiosk's web server,
// recognises the server's sitting answer, keeps the sitting information
// for the screen sequence and posts "notifictionStartPhotoSession"; after
// a session it sends the browser to the done page (back in front 2.0 s
// later) or, when the session could not run, to the error page with the
// sitting id and the reason.
//
// Qt-free: the browser window is behind WebBrowserPort. Main thread only;
// every notification it posts is delivered later through the main loop.

#include <optional>
#include <string>
#include <string_view>

#include "app/KioskUi.h"
#include "app/WebControllerPort.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/Settings.h"
#include "foundation/Timer.h"
#include "web/WebBrowserPort.h"

namespace klik {

class WebPageController : public WebControllerPort {
  public:
    // All borrowed; they must outlive the controller. `ui` may be null (no
    // menu bar to hide).
    WebPageController(Settings& settings, RunLoop& loop, NotificationCenter& center,
                      WebBrowserPort& browser, KioskUi* ui);
    ~WebPageController() override;
    WebPageController(const WebPageController&) = delete;
    WebPageController& operator=(const WebPageController&) = delete;

    // ---- WebControllerPort ----
    std::optional<Dictionary> webReturnInfo() const override { return _webReturnInfo; }
    // In web mode ("prefDoUseWebView"): builds the window on first use
    // (awakeFromNib(), doInitialize()) and orders it to the front.
    void startWebView() override;
    void orderOutWebWindow() override;
    void hideWebView(bool hide) override;

    // Configuration when the window has been built: menu bar hidden, the
    // session notifications observed.
    void awakeFromNib();
    // First display: the window fills the main screen, comes to the front
    // and loads the start page. Always true.
    bool doInitialize();
    // Loads `address` and brings the window to the front as key window.
    void openUrlPage(const std::string& address);
    // Makes the window key and frontmost; false.
    bool forceSelfToFront();
    // Orders the window to the front and shows it.
    void waitToOpenWindow();

    // A main-frame load finished (`ok` false: failed, `error` says why).
    // Logs it; returns true when its MIME type is the sitting's, so the
    // caller hands the body to sittingDocumentDidArrive().
    bool didFinishLoadForFrame(const std::string& address, const std::string& mimeType, bool ok,
                               const std::string& error);
    // The body of a sitting answer from `address`: becomes the sitting
    // information (without fields when it cannot be read), the picture is
    // shown over the page and the session start is posted.
    void sittingDocumentDidArrive(std::string_view body, const std::string& address);
    // A sitting answer from `address` that could not be taken (`why`): the
    // sitting information holds only "url" and the start is posted, so the
    // screen sequence refuses it and the server hears of it.
    void sittingDocumentRefused(const std::string& address, const std::string& why);

    void handlePhotoSessionEndedNotification(const Notification& n);
    void handlePhotoSessionErrorNotification(const Notification& n);

    const std::string& homePageUrl() const { return _homePageUrl; }
    bool isWindowCreated() const { return created_; }
    // The pending return to the front after a session (may be null).
    const TimerPtr& returnTimer() const { return returnTimer_; }

  private:
    void takeSitting(Dictionary info);

    Settings& settings_;
    RunLoop& loop_;
    NotificationCenter& center_;
    WebBrowserPort& browser_;
    KioskUi* ui_;

    std::optional<Dictionary> _webReturnInfo;
    std::string _homePageUrl;
    bool created_ = false;
    bool awoken_ = false;
    NotificationCenter::ObserverId endedObserver_ = 0, errorObserver_ = 0;
    TimerPtr returnTimer_;
};

}  // namespace klik
