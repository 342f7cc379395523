#pragma once
// What the kiosk web page's controller asks of the browser window that
// shows the page. The window itself (a web engine view in the kiosk's
// borderless window) lives in ui/; tests use a recording fake.
//
// Main thread only; nothing blocks.

#include <string>

namespace klik {

class WebBrowserPort {
  public:
    virtual ~WebBrowserPort() = default;

    // Builds the window and its browser view on first use. False when it
    // cannot be built (the reason logged); the kiosk then runs without the
    // page.
    virtual bool createWindow() = 0;
    // Gives the window the visible frame of the main screen and lays the
    // browser view over all of it.
    virtual void fillMainScreen() = 0;
    // Loads `address` in the view's main frame; the window's order is left
    // alone.
    virtual void loadInMainFrame(const std::string& address) = 0;
    // Shows the window and orders it to the front, key when `makeKey`.
    virtual void orderFront(bool makeKey) = 0;
    // Takes the window off the screen.
    virtual void orderOut() = 0;
    // Shows or hides the picture laid over the page once a sitting arrived.
    virtual void setImageViewHidden(bool hidden) = 0;
};

}  // namespace klik
