#pragma once
// The kiosk's windows over the controller's views: the touch and live
// windows, their borderless full-screen counterparts (made on the first
// switch to full screen and kept), the overlay window over the live side
// and the widgets of every view the controller names. Buttons and the
// entry field forward to the controller's actions.
//
// Screens: all attached screens, or only the first in single-monitor mode
// ("prefSingleMonitorMode"); the touch side goes on the first, the live
// side on the last. In full screen each screen has one window of the
// window system (a ScreenHost, full screen, kept on top) and the
// full-screen "windows" of the two sides are its children: with one
// screen both sides, the overlay and the countdown are drawn in one
// window, stacked by this program, so neither a missing compositor nor the
// window manager's stacking or focus rules change what the guest sees or
// where keys and taps go. Full screen follows screens attached or removed
// while the kiosk runs: the live side moves to a second screen when one
// comes and back when it goes. Whatever the kiosk shows over itself (the
// alert panel, alerts, the preferences, the web page) is kept above the
// screen windows: made transient for them and raised again after them.
//
// GUI thread only. Everything given is borrowed and must outlive this.

#include <QPointer>
#include <QRect>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "app/KioskWindow.h"
#include "ui/windows/BorderlessWindow.h"
#include "ui/windows/OverlayWindow.h"
#include "ui/windows/ScreenHost.h"
#include "ui/windows/ViewRenderer.h"

namespace klik {

class AppController;
class ArtworkPort;
class LiveViewWidget;
class NotificationCenter;
class RunLoop;
class Settings;

class KioskWindows {
  public:
    KioskWindows(AppController& app, Settings& settings, RunLoop& loop, NotificationCenter& center,
                 ArtworkPort& artwork);
    ~KioskWindows();
    KioskWindows(const KioskWindows&) = delete;
    KioskWindows& operator=(const KioskWindows&) = delete;

    // Switches both sides between their normal and full-screen windows,
    // moving each side's content; pointer and menu bar follow.
    void toggleFullScreen();
    // The live full-screen window is shown.
    bool isFullScreen() const;
    // The touch side's window lies in front of the live side's window (as
    // far as this program ordered them).
    bool touchWindowIsFront() const;
    // Lays the overlay over the window of the current input view and
    // shows "LiveVideoOverlay" in it.
    void setOverlayWindow();
    // Only moves the overlay to the window of the current input view (the
    // input view may have moved or been swapped); its picture stays, so a
    // screen's own "live%d" picture on it is kept.
    void attachOverlayToInputWindow();

    // The window that now stands for `w` (normal or full screen); null for
    // one that does not exist (yet). Windows of other modules (web,
    // preferences) are registered with setWindow().
    QWidget* window(KioskWindow w) const;
    void setWindow(KioskWindow w, QWidget* window);
    // The host of overlay screens: the touch window when shown, else the
    // touch full-screen window.
    QWidget* touchHost() const;

    // Window order (records the order for touchWindowIsFront). With
    // `makeKey` the window's screen window comes to the front as well and
    // the side takes the keyboard unless a widget of it already has it.
    void orderFront(KioskWindow w, bool makeKey);
    // Brings the kiosk's screen windows to the front and then what the
    // kiosk shows over them (see keepAboveKiosk).
    void bringToFront();
    // Raises the kiosk's own windows that lie over the screen windows (the
    // web page, the alert panel, the preferences, and a running alert or
    // dialog last); panels and dialogs are made transient for the touch
    // side's screen window. Returns the one that should have the keys (the
    // preferences or a running alert), or null.
    QWidget* keepAboveKiosk();
    // The screen window that holds the touch side (null before full screen).
    QWidget* touchScreenWindow() const;
    void orderOut(KioskWindow w);

    BorderlessWindow& touchWindow() { return *_touchWindow; }
    BorderlessWindow& liveWindow() { return *_liveWindow; }
    BorderlessWindow* touchWindowFull() const { return _touchWindowFull.get(); }
    BorderlessWindow* liveWindowFull() const { return _liveWindowFull.get(); }
    OverlayWindow& overlayWindow() { return *_overlayWindow; }
    ViewRenderer& renderer() { return renderer_; }
    LiveViewWidget& liveViewWidget() { return *evfWidget_; }
    // The touch and live side as they are drawn now (for screenshots).
    QWidget* touchContent() const;
    QWidget* liveContent() const;

    // The screens the kiosk uses, in order (global Qt coordinates).
    std::vector<QRect> kioskScreens() const;
    // Where the screens come from (tests); default: the attached screens.
    void setScreenSource(std::function<std::vector<QRect>()> source);
    // The attached screens changed: the full-screen windows go to their
    // screens again. Runs by itself on the desktop's screen signals.
    void screensChanged();

  private:
    void bindViews();
    // The default place of a touch-side view on the touch artwork as drawn.
    ViewRenderer::DefaultPlace artworkPlaceOf(const View& v);
    void moveContent(View& root, QWidget* to);
    // `force`: tell the controller about the live view even when its
    // frame stayed (the input view may have changed).
    void updateRootFrames(bool force);
    void watchScreens();
    // Puts a full-screen window on the screen of `frame`, covering it.
    void placeFullScreen(QWidget* w, const QRect& frame, size_t screenIndex);
    ScreenHost& hostFor(size_t screenIndex);
    void hideUnusedHosts();
    void raiseRecorded(QWidget* w);
    // Full screen: the preferences become a child of the touch side's
    // screen window, centred over the sides; otherwise a window again.
    // Returns the widget to show.
    QWidget* placePreferences(QWidget* prefs);
    // Full screen: the web page becomes a side-like child of the touch
    // side's screen window (filling it); otherwise a window again.
    void placeWebWindow();

    AppController& app_;
    Settings& settings_;
    RunLoop& loop_;
    NotificationCenter& center_;
    ArtworkPort& artwork_;
    // The screen windows go last: they hand their sides back when they go.
    std::vector<std::unique_ptr<ScreenHost>> hosts_;
    // Windows before the renderer: the renderer goes first and takes its
    // widgets out of the windows.
    std::unique_ptr<BorderlessWindow> _touchWindow, _liveWindow;
    std::unique_ptr<BorderlessWindow> _touchWindowFull, _liveWindowFull;
    std::unique_ptr<OverlayWindow> _overlayWindow;
    ViewRenderer renderer_;
    LiveViewWidget* evfWidget_ = nullptr;
    std::map<KioskWindow, QPointer<QWidget>> others_;
    std::unique_ptr<QObject> prefsWatcher_;
    std::unique_ptr<QObject> rootWatcher_;
    std::function<std::vector<QRect>()> screenSource_;
    std::vector<QMetaObject::Connection> screenConnections_;
    // Front to back, as this program ordered its windows.
    std::vector<QPointer<QWidget>> stack_;
    Qt::WindowFlags prefsWindowFlags_ = Qt::Window;
    Qt::WindowFlags webWindowFlags_ = Qt::Window;
};

}  // namespace klik
