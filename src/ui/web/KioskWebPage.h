#pragma once
// The browser page of the kiosk web page, locked down: navigation (also
// by redirect, in any frame) stays on the kiosk server's origins and no
// window is opened.
//
// GUI thread only.

#include <QWebEnginePage>
#include <functional>

namespace klik {

class OriginRequestInterceptor;

class KioskWebPage : public QWebEnginePage {
    Q_OBJECT
  public:
    // `origins` is borrowed and must outlive the page.
    KioskWebPage(QWebEngineProfile* profile, const OriginRequestInterceptor& origins,
                 QObject* parent = nullptr);

    int refusedNavigationCount() const { return refused_; }

  signals:
    void navigationRefused(const QUrl& url);

  protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int line, const QString& source) override;

  private:
    const OriginRequestInterceptor& origins_;
    int refused_ = 0;
};

}  // namespace klik
