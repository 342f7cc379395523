#include "ui/web/OriginRequestInterceptor.h"

#include "log/Log.h"

namespace klik {

namespace {

int effectivePort(const QUrl& u) {
    const QString scheme = u.scheme().toLower();
    return u.port(scheme == "https" ? 443 : scheme == "http" ? 80 : -1);
}

}  // namespace

bool isSameOrigin(const QUrl& a, const QUrl& b) {
    return a.isValid() && b.isValid() && a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           effectivePort(a) == effectivePort(b);
}

OriginRequestInterceptor::OriginRequestInterceptor(std::vector<QUrl> allowedOrigins,
                                                   QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent), allowed_(std::move(allowedOrigins)) {}

bool OriginRequestInterceptor::isAllowed(const QUrl& url) const {
    for (const QUrl& origin : allowed_)
        if (isSameOrigin(url, origin)) return true;
    return false;
}

void OriginRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    // The engine's own pages (an error page, about:blank) never reach a
    // server.
    if (url.scheme() == "data" || url.scheme() == "about" || url.scheme() == "chrome-error") return;
    if (!isAllowed(url)) {
        ++blocked_;
        GLIMRA_Log::errf("web page: blocked a request to [%s], outside the kiosk's web server",
                         url.toString().toUtf8().constData());
        info.block(true);
        emit requestBlocked(url);
        return;
    }
    info.setHttpHeader("Cache-Control", "no-cache");
    info.setHttpHeader("Pragma", "no-cache");
}

}  // namespace klik
