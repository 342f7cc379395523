#pragma once
// Keeps the kiosk web page on the kiosk's own web server: every navigation
// and every request goes to the server's origins (scheme, host, port) only,
// except that scripts, style sheets, pictures and fonts may also come from
// the further origins the operator lists ("prefWebAllowedOrigins"). Any
// other request is blocked and logged; those to the server are sent asking
// it, not a cache, for the answer.
//
// The engine calls it on the GUI thread (Qt 6).

#include <QUrl>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <vector>

namespace klik {

class OriginRequestInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    // `serverOrigins`: where pages may be; `resourceOrigins`: where else a
    // page may load its scripts, styles, pictures and fonts from.
    explicit OriginRequestInterceptor(std::vector<QUrl> serverOrigins,
                                      std::vector<QUrl> resourceOrigins = {},
                                      QObject* parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // True when `url` has the scheme, host and port of a server origin: the
    // only places a frame may navigate to.
    bool isAllowed(const QUrl& url) const;
    // True when a request of `type` may go to `url`.
    bool mayLoad(const QUrl& url, QWebEngineUrlRequestInfo::ResourceType type) const;
    int blockedCount() const { return blocked_; }

  signals:
    void requestBlocked(const QUrl& url);

  private:
    std::vector<QUrl> servers_;
    std::vector<QUrl> resources_;
    int blocked_ = 0;
};

// Same scheme, host and port (the scheme's default port when none is given).
bool isSameOrigin(const QUrl& a, const QUrl& b);

// The origins of "prefWebAllowedOrigins" entries ("https://cdn.example:8443");
// an entry that is not an http or https address with a host is logged and
// left out.
std::vector<QUrl> parseAllowedOrigins(const std::vector<std::string>& entries);

}  // namespace klik
