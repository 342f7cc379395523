#include "ui/web/KioskWebPage.h"

#include "log/Log.h"
#include "ui/web/OriginRequestInterceptor.h"

namespace klik {

KioskWebPage::KioskWebPage(QWebEngineProfile* profile, const OriginRequestInterceptor& origins,
                           QObject* parent)
    : QWebEnginePage(profile, parent), origins_(origins) {}

bool KioskWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (!origins_.isAllowed(url)) {
        ++refused_;
        GLIMRA_Log::errf(
            "web page: refused to go to [%s] (%s frame, navigation type %d): "
            "outside the kiosk's web server",
            url.toString().toUtf8().constData(), isMainFrame ? "main" : "sub",
            static_cast<int>(type));
        emit navigationRefused(url);
        return false;
    }
    return true;
}

QWebEnginePage* KioskWebPage::createWindow(WebWindowType type) {
    GLIMRA_Log::errf("web page: refused to open a new window (type %d)", static_cast<int>(type));
    return nullptr;
}

void KioskWebPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                            const QString& message, int line,
                                            const QString& source) {
    GLIMRA_Log::debugf("web page console (%d) %s:%d: %s", static_cast<int>(level),
                       source.toUtf8().constData(), line, message.toUtf8().constData());
}

}  // namespace klik
