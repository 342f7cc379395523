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
    interceptor_ = new OriginRequestInterceptor({base, QUrl(kBuiltInServerAddress)}, profile_);
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
    connect(page_, &KioskWebPage::mainFrameFormSubmitted, this, [this] { formSubmitted_ = true; });
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
    GLIMRA_Log::debugf(
        "web page: window built, pages only from [%s]",
        base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery).toString().toUtf8().constData());
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
            // The picture belongs to the sitting just received; the next
            // page is shown again.
            setImageViewHidden(true);
            return;
        case QWebEngineLoadingInfo::LoadStoppedStatus:
            GLIMRA_Log::debugf("web page: stopped [%s]", utf8(url.toString()).c_str());
            formSubmitted_ = false;
            emit pageLoadFinished(url, false);
            return;
        case QWebEngineLoadingInfo::LoadFailedStatus:
            controller_.didFinishLoadForFrame(
                utf8(url.toString()), {}, false,
                utf8(info.errorString()) + " (" + std::to_string(info.errorCode()) + ")");
            formSubmitted_ = false;
            emit pageLoadFinished(url, false);
            return;
        case QWebEngineLoadingInfo::LoadSucceededStatus:
            break;
    }
    const bool wasFormAnswer = formSubmitted_;
    formSubmitted_ = false;
    lastFinished_ = utf8(url.toString());
    if (wasFormAnswer) {
        recogniseSitting(url);
    } else {
        GLIMRA_Log::debugf("web page: finished [%s]", utf8(url.toString()).c_str());
    }
    emit pageLoadFinished(url, true);
}

void WebViewWindowController::recogniseSitting(const QUrl& url) {
    // Asked in a world of its own, so the page's scripts cannot answer.
    page_->runJavaScript(
        "document.contentType", QWebEngineScript::ApplicationWorld,
        [this, url](const QVariant& result) {
            const std::string address = utf8(url.toString());
            if (!controller_.didFinishLoadForFrame(address, utf8(result.toString()), true, {}))
                return;
            page_->toPlainText([this, url, address](const QString& text) {
                if (page_->url() != url) {
                    GLIMRA_Log::errf("web page: the sitting page [%s] was left before it was read",
                                     address.c_str());
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
        controller_.sittingDocumentRefused(address, "the attachment is larger than allowed");
        return;
    }
    if (!downloads_ || !downloads_->isValid()) {
        downloads_ = std::make_unique<QTemporaryDir>();
        if (!downloads_->isValid()) {
            GLIMRA_Log::errf("web page: no private folder for the sitting download (%s)",
                             utf8(downloads_->errorString()).c_str());
            download->cancel();
            return;
        }
    }
    download->setDownloadDirectory(downloads_->path());
    download->setDownloadFileName(QString("sitting-%1.xml").arg(++downloadCount_));
    connect(download, &QWebEngineDownloadRequest::isFinishedChanged, this,
            [this, download] { readDownloadedSitting(download); });
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
    if (!download->isFinished()) return;
    const std::string address = utf8(download->url().toString());
    const QString path = download->downloadDirectory() + "/" + download->downloadFileName();
    if (download->property("klikTooLarge").toBool()) {
        QFile::remove(path);
        controller_.sittingDocumentRefused(address, "the attachment is larger than allowed");
        emit sittingReceived();
        return;
    }
    if (download->state() != QWebEngineDownloadRequest::DownloadCompleted) {
        GLIMRA_Log::errf("web page: the sitting download [%s] did not complete (%s)",
                         address.c_str(), utf8(download->interruptReasonString()).c_str());
        QFile::remove(path);
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
