#pragma once
// The kiosk web page's window: a web engine view filling the kiosk's
// borderless window, with the picture shown over it once a sitting has
// arrived. It is the browser behind WebPageController (which holds the
// protocol) and recognises the server's sitting answer:
//
// - shown inline: after any main-frame load (a form's answer, a link, a
//   script's navigation, a redirect, a reload) the document's MIME type
//   (document.contentType) is read and, when it is the sitting's, its body
//   is taken as the page's plain text: the answer to a form post is never
//   fetched a second time;
// - sent as an attachment: the download is accepted into a private
//   temporary folder, read and deleted.
// A sitting that cannot be read (the page left before its text came, a
// download that did not complete or found no folder, one too large) still
// starts the session without fields, so the screen sequence refuses it and
// the server hears of it through the error page.
//
// Lock-down: an off-the-record profile without HTTP cache; navigation only
// to the origin of "prefBaseURL" (and the built-in server); scripts, styles,
// pictures and fonts also from "prefWebAllowedOrigins"; no new windows, no
// context menu, no other downloads. A failed load is logged and left as the
// browser left it.
//
// The engine starts only when the window is first built (web mode). GUI
// thread only.

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "web/WebBrowserPort.h"
#include "web/WebPageController.h"

class QLabel;
class QWebEngineDownloadRequest;
class QWebEngineLoadingInfo;
class QWebEngineProfile;
class QWebEngineView;
class QWidget;

namespace klik {

class BorderlessWindow;
class KioskWebPage;
class OriginRequestInterceptor;

class WebViewWindowController : public QObject, public WebBrowserPort {
    Q_OBJECT
  public:
    // All borrowed; they must outlive the controller. `ui` may be null.
    WebViewWindowController(Settings& settings, RunLoop& loop, NotificationCenter& center,
                            KioskUi* ui, QObject* parent = nullptr);
    ~WebViewWindowController() override;

    // The protocol side; give it to AppController::setWebController().
    WebPageController& controller() { return controller_; }

    // ---- WebBrowserPort ----
    bool createWindow() override;
    void fillMainScreen() override;
    void loadInMainFrame(const std::string& address) override;
    void orderFront(bool makeKey) override;
    void orderOut() override;
    void setImageViewHidden(bool hidden) override;

    // Where the private folder for sitting attachments is made (default:
    // the system's temporary folder).
    void setDownloadParentFolder(const QString& folder) { downloadParent_ = folder; }

    // For tests and measurements; null before the window is built.
    QWidget* window() const;
    QWebEngineView* view() const { return view_; }
    KioskWebPage* page() const { return page_; }
    int blockedRequestCount() const;
    int refusedNavigationCount() const;
    bool isImageViewHidden() const;
    // The address of the last main-frame page that finished loading ("" when
    // none has).
    const std::string& lastFinishedAddress() const { return lastFinished_; }

  signals:
    // The window was built (on the first start in web mode).
    void windowCreated(QWidget* window);
    // A main-frame load finished (ok or not).
    void pageLoadFinished(const QUrl& url, bool ok);
    // A sitting document was handed to the controller (read or refused).
    void sittingReceived();
    // A finished main-frame load is a sitting; its text is asked for next.
    void sittingTypeRecognised(const QUrl& url);

  private:
    void onLoadingChanged(const QWebEngineLoadingInfo& info);
    void recogniseSitting(const QUrl& url);
    void refuseSitting(const std::string& address, const std::string& why);
    void onDownloadRequested(QWebEngineDownloadRequest* download);
    void readDownloadedSitting(QWebEngineDownloadRequest* download);

    Settings& settings_;
    WebPageController controller_;
    std::unique_ptr<BorderlessWindow> window_;
    QWebEngineProfile* profile_ = nullptr;
    OriginRequestInterceptor* interceptor_ = nullptr;
    KioskWebPage* page_ = nullptr;
    QWebEngineView* view_ = nullptr;
    QLabel* imageView_ = nullptr;
    std::unique_ptr<QTemporaryDir> downloads_;
    QString downloadParent_;
    int downloadCount_ = 0;
    // Counts main-frame loads started: an answer about an earlier one is
    // about a page already left.
    std::uint64_t loadGeneration_ = 0;
    // A sitting recognised whose text has not come yet (its address).
    std::optional<std::string> unreadSitting_;
    std::string lastFinished_;
};

}  // namespace klik
