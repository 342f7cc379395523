#pragma once
// The browser page of the kiosk web page, locked down: navigation (also
// by redirect, in any frame) stays on the allowed origins, no window is
// opened, and main-frame form submissions are reported so the answer can
// be recognised as a sitting.
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
    // A navigation of the main frame by form submission was accepted.
    void mainFrameFormSubmitted(const QUrl& url);
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
