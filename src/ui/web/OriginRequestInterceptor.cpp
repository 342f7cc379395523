#include "ui/web/OriginRequestInterceptor.h"

#include <algorithm>

#include "log/Log.h"

namespace klik {

namespace {

int effectivePort(const QUrl& u) {
    const QString scheme = u.scheme().toLower();
    return u.port(scheme == "https" ? 443 : scheme == "http" ? 80 : -1);
}

bool anySameOrigin(const std::vector<QUrl>& origins, const QUrl& url) {
    return std::any_of(origins.begin(), origins.end(),
                       [&](const QUrl& o) { return isSameOrigin(url, o); });
}

// What a page may take from the listed origins: its scripts, styles,
// pictures and fonts; never a page, a frame or a data request.
bool isPageResource(QWebEngineUrlRequestInfo::ResourceType type) {
    switch (type) {
        case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
        case QWebEngineUrlRequestInfo::ResourceTypeScript:
        case QWebEngineUrlRequestInfo::ResourceTypeImage:
        case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool isSameOrigin(const QUrl& a, const QUrl& b) {
    return a.isValid() && b.isValid() && a.scheme().compare(b.scheme(), Qt::CaseInsensitive) == 0 &&
           a.host().compare(b.host(), Qt::CaseInsensitive) == 0 &&
           effectivePort(a) == effectivePort(b);
}

std::vector<QUrl> parseAllowedOrigins(const std::vector<std::string>& entries) {
    std::vector<QUrl> origins;
    for (const std::string& entry : entries) {
        const QUrl url(QString::fromStdString(entry), QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() || url.host().isEmpty() || (scheme != "http" && scheme != "https")) {
            GLIMRA_Log::errf(
                "web page: \"prefWebAllowedOrigins\" entry [%s] is not an http or https "
                "address; left out",
                entry.c_str());
            continue;
        }
        origins.push_back(url.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment |
                                       QUrl::RemoveUserInfo));
    }
    return origins;
}

OriginRequestInterceptor::OriginRequestInterceptor(std::vector<QUrl> serverOrigins,
                                                   std::vector<QUrl> resourceOrigins,
                                                   QObject* parent)
    : QWebEngineUrlRequestInterceptor(parent),
      servers_(std::move(serverOrigins)),
      resources_(std::move(resourceOrigins)) {}

bool OriginRequestInterceptor::isAllowed(const QUrl& url) const {
    return anySameOrigin(servers_, url);
}

bool OriginRequestInterceptor::mayLoad(const QUrl& url,
                                       QWebEngineUrlRequestInfo::ResourceType type) const {
    return isAllowed(url) || (isPageResource(type) && anySameOrigin(resources_, url));
}

void OriginRequestInterceptor::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QUrl url = info.requestUrl();
    // The engine's own pages (an error page, about:blank) never reach a
    // server.
    if (url.scheme() == "data" || url.scheme() == "about" || url.scheme() == "chrome-error") return;
    if (!mayLoad(url, info.resourceType())) {
        ++blocked_;
        GLIMRA_Log::errf(
            "web page: blocked a request to [%s] (resource type %d), outside the kiosk's web "
            "server and the origins allowed for page resources",
            url.toString().toUtf8().constData(), static_cast<int>(info.resourceType()));
        info.block(true);
        emit requestBlocked(url);
        return;
    }
    // Only the kiosk's server is asked for a fresh answer: on another
    // origin these headers would turn each cross-origin font or script
    // request into one that needs the origin's leave first (a preflight).
    if (!isAllowed(url)) return;
    info.setHttpHeader("Cache-Control", "no-cache");
    info.setHttpHeader("Pragma", "no-cache");
}

}  // namespace klik
