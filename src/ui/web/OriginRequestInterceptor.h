#pragma once
// Keeps every request of the kiosk web page on the kiosk's own web server:
// a request to any other origin (scheme, host, port) is blocked and
// logged; the others are sent asking the server, not a cache, for the
// answer.
//
// The engine calls it on the GUI thread (Qt 6).

#include <QUrl>
#include <QWebEngineUrlRequestInterceptor>
#include <vector>

namespace klik {

class OriginRequestInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
  public:
    explicit OriginRequestInterceptor(std::vector<QUrl> allowedOrigins, QObject* parent = nullptr);
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;
    // True when `url` has the scheme, host and port of an allowed origin.
    bool isAllowed(const QUrl& url) const;
    int blockedCount() const { return blocked_; }

  signals:
    void requestBlocked(const QUrl& url);

  private:
    std::vector<QUrl> allowed_;
    int blocked_ = 0;
};

// Same scheme, host and port (the scheme's default port when none is given).
bool isSameOrigin(const QUrl& a, const QUrl& b);

}  // namespace klik
