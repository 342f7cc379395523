#include "WebEngineProbe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWebEngineView>

namespace klik::test {

bool waitFor(const std::function<bool()>& done, int limitMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

const std::string& engineUnavailableReason() {
    static const std::string reason = [] {
        QWebEngineView view;
        bool finished = false, ok = false;
        QObject::connect(&view, &QWebEngineView::loadFinished, [&](bool r) {
            finished = true;
            ok = r;
        });
        view.setHtml("<p>probe</p>");
        if (!waitFor([&] { return finished; }, 30000))
            return std::string("Qt WebEngine did not load a page within 30 s");
        return ok ? std::string() : std::string("Qt WebEngine failed to load a page");
    }();
    return reason;
}

}  // namespace klik::test
