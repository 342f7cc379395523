#include "ui/web/WebViewWindowController.h"

#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStackedLayout>
#include <QWebEngineDownloadRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include "app/SettingsKeys.h"
#include "log/Log.h"
#include "ui/web/KioskWebPage.h"
#include "ui/web/OriginRequestInterceptor.h"
#include "ui/web/WebEngineEnvironment.h"
#include "ui/windows/BorderlessWindow.h"
#include "web/KioskWebProtocol.h"

namespace klik {

namespace {

std::string utf8(const QString& s) {
    return s.toUtf8().toStdString();
}

}  // namespace

WebViewWindowController::WebViewWindowController(Settings& settings, RunLoop& loop,
                                                 NotificationCenter& center, KioskUi* ui,
                                                 QObject* parent)
    : QObject(parent), settings_(settings), controller_(settings, loop, center, *this, ui) {}

WebViewWindowController::~WebViewWindowController() {
    // The page goes before its profile.
    if (view_) view_->setPage(nullptr);
    delete page_;
    page_ = nullptr;
    window_.reset();
    delete profile_;
}

QWidget* WebViewWindowController::window() const {
    return window_.get();
}

int WebViewWindowController::blockedRequestCount() const {
    return interceptor_ ? interceptor_->blockedCount() : 0;
}

int WebViewWindowController::refusedNavigationCount() const {
    return page_ ? page_->refusedNavigationCount() : 0;
}

bool WebViewWindowController::isImageViewHidden() const {
    return !imageView_ || imageView_->isHidden();
}

bool WebViewWindowController::createWindow() {
    if (window_) return true;
    if (isWebEngineSandboxOff())
        GLIMRA_Log::debug(
            "web page: the web engine's sandbox is off (QTWEBENGINE_DISABLE_SANDBOX)");
    const QUrl base(QString::fromStdString(settings_.stringForKey(key::prefBaseURL).value_or("")));
    if (!base.isValid() || base.host().isEmpty())
        GLIMRA_Log::errf(
            "web page: \"prefBaseURL\" [%s] is not a web address; only the built-in "
            "server [%s] can be reached",
            base.toString().toUtf8().constData(), kBuiltInServerAddress);

    // An unnamed profile is off the record; the cache is off before any
    // page exists.
    profile_ = new QWebEngineProfile();
    profile_->setHttpCacheType(QWebEngineProfile::NoCache);
    profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    std::vector<std::string> extra;
    if (const auto list = settings_.arrayForKey(key::prefWebAllowedOrigins))
        for (const Value& v : *list)
            if (const std::string* entry = v.string()) extra.push_back(*entry);
    const std::vector<QUrl> resourceOrigins = parseAllowedOrigins(extra);
    interceptor_ = new OriginRequestInterceptor({base, QUrl(kBuiltInServerAddress)},
                                                resourceOrigins, profile_);
    profile_->setUrlRequestInterceptor(interceptor_);
    connect(profile_, &QWebEngineProfile::downloadRequested, this,
            &WebViewWindowController::onDownloadRequested);

    window_ = std::make_unique<BorderlessWindow>(settings_, *RunLoop::main(),
                                                 NotificationCenter::defaultCenter());
    window_->setWindowTitle("Klik web page");
    window_->setKeepsKeyFocus(false);
    auto* stack = new QStackedLayout(window_.get());
    stack->setStackingMode(QStackedLayout::StackAll);
    stack->setContentsMargins(0, 0, 0, 0);

    page_ = new KioskWebPage(profile_, *interceptor_);
    QWebEngineSettings* s = page_->settings();
    s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    s->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    s->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    connect(page_, &QWebEnginePage::loadingChanged, this,
            &WebViewWindowController::onLoadingChanged);

    view_ = new QWebEngineView(window_.get());
    view_->setPage(page_);
    view_->setContextMenuPolicy(Qt::NoContextMenu);
    imageView_ = new QLabel(window_.get());
    imageView_->setAlignment(Qt::AlignCenter);
    imageView_->setText("Starting your photo...");
    imageView_->setStyleSheet(
        "QLabel { background: rgba(0, 0, 0, 200); color: white; font-size: 48px; }");
    imageView_->hide();
    stack->addWidget(view_);
    stack->addWidget(imageView_);
    std::string others;
    for (const QUrl& o : resourceOrigins)
        others += (others.empty() ? "" : ", ") + utf8(o.toString());
    GLIMRA_Log::debugf(
        "web page: window built, pages only from [%s], scripts, styles, pictures and fonts also "
        "from [%s]",
        base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString().toUtf8().constData(),
        others.c_str());
    // The kiosk's windows place it (over a full-screen kiosk: inside it).
    emit windowCreated(window_.get());
    return true;
}

void WebViewWindowController::fillMainScreen() {
    if (!window_) return;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        window_->setGeometry(screen->availableGeometry());
}

void WebViewWindowController::loadInMainFrame(const std::string& address) {
    if (!page_) return;
    page_->load(QUrl(QString::fromStdString(address)));
}

void WebViewWindowController::orderFront(bool makeKey) {
    if (!window_) return;
    window_->show();
    window_->raise();
    if (makeKey) window_->activateWindow();
}

void WebViewWindowController::orderOut() {
    if (window_) window_->hide();
}

void WebViewWindowController::setImageViewHidden(bool hidden) {
    if (!imageView_) return;
    imageView_->setHidden(hidden);
    if (!hidden) imageView_->raise();
}

void WebViewWindowController::onLoadingChanged(const QWebEngineLoadingInfo& info) {
    const QUrl url = info.url();
    switch (info.status()) {
        case QWebEngineLoadingInfo::LoadStartedStatus:
            GLIMRA_Log::debugf("web page: started [%s]", utf8(url.toString()).c_str());
            // Whatever was being read belongs to the page being left.
            ++loadGeneration_;
            if (unreadSitting_) {
                const std::string address = *unreadSitting_;
                unreadSitting_.reset();
                refuseSitting(address, "the page was left before it was read");
            }
            // The picture belongs to the sitting just received; the next
            // page is shown again.
            setImageViewHidden(true);
            return;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            GLIMRA_Log::debugf("web page: stopped [%s]", utf8(url.toString()).c_str());
            emit pageLoadFinished(url, false);
            return;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            controller_.didFinishLoadForFrame(
                utf8(url.toString()), {}, false,
                utf8(info.errorString()) + " (" + std::to_string(info.errorCode()) + ")");
            emit pageLoadFinished(url, false);
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            break;
    }
    lastFinished_ = utf8(url.toString());
    // Any main-frame load may carry a sitting: a form's answer, a link, a
    // script's navigation, a redirect, a reload.
    recogniseSitting(url);
    emit pageLoadFinished(url, true);
}

void WebViewWindowController::recogniseSitting(const QUrl& url) {
    const std::uint64_t generation = loadGeneration_;
    // Asked in a world of its own, so the page's scripts cannot answer.
    page_->runJavaScript(
        "document.contentType", QWebEngineScript::ApplicationWorld,
        [this, url, generation](const QVariant& result) {
            const std::string address = utf8(url.toString());
            if (!controller_.didFinishLoadForFrame(address, utf8(result.toString()), true, {}))
                return;
            if (generation != loadGeneration_) {
                refuseSitting(address, "the page was left before it was read");
                return;
            }
            // Until its text arrives, leaving the page refuses it.
            unreadSitting_ = address;
            emit sittingTypeRecognised(url);
            if (generation != loadGeneration_) return;  // refused on the way out
            page_->toPlainText([this, url, address, generation](const QString& text) {
                if (generation != loadGeneration_ || !unreadSitting_) return;  // refused already
                unreadSitting_.reset();
                if (page_->url() != url) {
                    refuseSitting(address, "the page was left before it was read");
                    return;
                }
                // Non-ASCII characters stay visible as such to the checks.
                const QByteArray body = text.toUtf8();
                controller_.sittingDocumentDidArrive(
                    std::string_view(body.constData(), static_cast<size_t>(body.size())), address);
                emit sittingReceived();
            });
        });
}

void WebViewWindowController::refuseSitting(const std::string& address, const std::string& why) {
    // The start is still posted: the screen sequence refuses a sitting
    // without an address, and the server hears of it through the error page.
    controller_.sittingDocumentRefused(address, why);
    emit sittingReceived();
}

void WebViewWindowController::onDownloadRequested(QWebEngineDownloadRequest* download) {
    const std::string address = utf8(download->url().toString());
    const std::string mime = utf8(download->mimeType());
    if (!isSittingMimeType(mime) || !interceptor_->isAllowed(download->url())) {
        GLIMRA_Log::errf("web page: download of [%s] (%s) refused", address.c_str(), mime.c_str());
        download->cancel();
        return;
    }
    if (download->totalBytes() > static_cast<qint64>(kMaximumSittingBodyBytes)) {
        download->cancel();
        refuseSitting(address, "the attachment is larger than allowed");
        return;
    }
    if (!downloads_ || !downloads_->isValid()) {
        downloads_ =
            downloadParent_.isEmpty()
                ? std::make_unique<QTemporaryDir>()
                : std::make_unique<QTemporaryDir>(downloadParent_ + "/klik-sitting-XXXXXX");
        if (!downloads_->isValid()) {
            const std::string why = "no private folder for the sitting download (" +
                                    utf8(downloads_->errorString()) + ")";
            downloads_.reset();
            download->cancel();
            refuseSitting(address, why);
            return;
        }
    }
    download->setDownloadDirectory(downloads_->path());
    download->setDownloadFileName(QString("sitting-%1.xml").arg(++downloadCount_));
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            [this, download] { readDownloadedSitting(download); });
    // An interrupted download may wait to be resumed, never finishing: it
    // ends here, as one that did not complete.
    connect(download, &QWebEngineDownloadRequest::stateChanged, this,
            [this, download](QWebEngineDownloadRequest::DownloadState state) {
                if (state == QWebEngineDownloadRequest::DownloadInterrupted)
                    readDownloadedSitting(download);
            });
    // A server that sends more than a sitting can hold is cut off early.
    connect(download, &QWebEngineDownloadRequest::receivedBytesChanged, this, [download] {
        if (download->receivedBytes() > static_cast<qint64>(kMaximumSittingBodyBytes) &&
            !download->property("klikTooLarge").toBool()) {
            download->setProperty("klikTooLarge", true);
            download->cancel();
        }
    });
    download->accept();
    GLIMRA_Log::debugf("web page: sitting [%s] arrives as an attachment", address.c_str());
}

void WebViewWindowController::readDownloadedSitting(QWebEngineDownloadRequest* download) {
    const bool interrupted = download->state() == QWebEngineDownloadRequest::DownloadInterrupted;
    if (!download->isFinished() && !interrupted) return;
    // Each download is read, or refused, once.
    if (download->property("klikTaken").toBool()) return;
    download->setProperty("klikTaken", true);
    const std::string address = utf8(download->url().toString());
    const QString path = download->downloadDirectory() + "/" + download->downloadFileName();
    if (download->property("klikTooLarge").toBool()) {
        QFile::remove(path);
        refuseSitting(address, "the attachment is larger than allowed");
        return;
    }
    if (download->state() != QWebEngineDownloadRequest::DownloadCompleted) {
        const std::string why =
            "the download did not complete (" + utf8(download->interruptReasonString()) + ")";
        if (interrupted) download->cancel();
        QFile::remove(path);
        refuseSitting(address, why);
        return;
    }
    QFile file(path);
    QByteArray body;
    if (file.open(QIODevice::ReadOnly)) {
        // One byte more than allowed is enough to refuse it.
        body = file.read(static_cast<qint64>(kMaximumSittingBodyBytes) + 1);
        file.close();
    } else {
        GLIMRA_Log::errf("web page: cannot read the downloaded sitting [%s]", utf8(path).c_str());
    }
    QFile::remove(path);
    controller_.sittingDocumentDidArrive(
        std::string_view(body.constData(), static_cast<size_t>(body.size())), address);
    emit sittingReceived();
}

}  // namespace klik
