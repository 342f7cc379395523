#pragma once
// The kiosk program's parts and how they are wired together, one concern a
// file as the controller is split: KioskAssembly.cpp (the kiosk itself:
// windows, camera, photos and printing, video, web page, preferences and
// the operator's commands), KioskAssembly_Scripted.cpp (scripted guests,
// their answers and the screenshots) and KioskAssembly_Launch.cpp (the
// launch sequence, the event loop and the orderly stop). Main thread only.
//
// The parts are members in the order they are made; they go in the reverse
// order, the controller's users before the controller.

#include <QApplication>
#include <QObject>
#include <memory>
#include <string>

#include "app/AppController.h"
#include "app/ResourceArtwork.h"
#include "camera/RegistryCameraPort.h"
#include "foundation/NotificationCenter.h"
#include "foundation/Settings.h"
#include "photo/AlphaFrameArtwork.h"
#include "photo/KioskPhotoPipeline.h"
#include "share/DeliveryHealth.h"
#include "ui/kiosk/KioskOptions.h"
#include "ui/kiosk/OperatorShortcuts.h"
#include "ui/kiosk/QtApplicationPort.h"
#include "ui/prefs/PreferencesWindow.h"
#include "ui/scripted/ScreenshotWriter.h"
#include "ui/scripted/ScriptedGuests.h"
#include "ui/scripted/ScriptedSandbox.h"
#include "ui/video/KioskVideo.h"
#include "ui/web/WebViewWindowController.h"
#include "ui/windows/KioskWindows.h"
#include "ui/windows/QtKioskUi.h"
#include "ui/windows/QtOverlayScreens.h"
#include "ui/windows/QtRunLoop.h"
#include "video/GuestLoopMaker.h"
#if __has_include("ui/print/QtPrintPort.h")
#include "ui/print/QtPrintPort.h"
#define KLIK_HAVE_PRINT_PORT 1
#endif

namespace klik {

// The operator closing the preferences window puts the web page back.
class PreferencesCloseWatcher : public QObject {
  public:
    explicit PreferencesCloseWatcher(AppController& app) : app_(app) {}
    bool eventFilter(QObject*, QEvent* e) override;

  private:
    AppController& app_;
};

class KioskAssembly {
  public:
    // Every argument is borrowed and must outlive the assembly.
    KioskAssembly(QApplication& qapp, QtRunLoop& loop, Settings& settings,
                  NotificationCenter& center, const KioskOptions& options,
                  const ScriptedSandbox& sandbox);
    ~KioskAssembly();
    KioskAssembly(const KioskAssembly&) = delete;
    KioskAssembly& operator=(const KioskAssembly&) = delete;

    // The launch sequence, the event loop and the orderly stop; the exit
    // status. 1 at once when the video demo movies could not be made.
    int run();

  private:
    // KioskAssembly.cpp
    void wireWindowsAndCamera();
    void wirePhotosAndPrinting();
    // False, with the reason in `error`, when the demo movies fail.
    bool wireVideo(std::string* error);
    void wireWebPageAndPreferences();
    void wireOperator();
    // KioskAssembly_Scripted.cpp
    void wireScripted();
    void scriptedTurnDone(int guest);
    // From here on guests take the scripted guest's several shots and a loop.
    void scriptedGuestOfSeveralShots();
    void operatorLooksAtThePreferences();
    void wireScreenObserver();
    // KioskAssembly_Launch.cpp
    void launch();
    void shutDown();
    void printScriptedSummary() const;

    QApplication& qapp_;
    QtRunLoop& loop_;
    Settings& settings_;
    NotificationCenter& center_;
    const KioskOptions& options_;
    const ScriptedSandbox& sandbox_;
    std::string setUpError_;  // set when the kiosk cannot run

    QtKioskUi ui_;
    // Before the controller, which stops listening to it as it goes.
    RegistryCameraPort camera_;
    AppController app_;
    ResourceArtwork resources_;
    AlphaFrameArtwork artwork_;
    KioskWindows windows_;
    QtOverlayScreens overlays_;
    KioskPhotoPipeline photos_;
    // Guests' loops, made on a thread of its own; finishes the loops asked
    // for before it goes.
    GuestLoopMaker loops_;
#ifdef KLIK_HAVE_PRINT_PORT
    QtPrintPort printer_;
#endif
    std::unique_ptr<KioskVideo> video_;
    std::unique_ptr<QtApplicationPort> application_;
    std::unique_ptr<WebViewWindowController> webPage_;
    std::unique_ptr<PreferencesWindow> prefs_;
    std::unique_ptr<PreferencesCloseWatcher> prefsCloseWatcher_;
    std::unique_ptr<OperatorShortcuts> shortcuts_;
    NotificationCenter::ObserverId quitObserver_ = 0;
    std::unique_ptr<ScreenshotWriter> shots_;
    std::unique_ptr<ScriptedGuests> guests_;
    // klik-share's deliveries, told on the HUD when they fail for long.
    std::unique_ptr<share::DeliveryHealth> deliveryHealth_;
    TimerPtr deliveryTimer_;
};

// One line of the scripted run's report, on standard output and in the log.
void say(const std::string& text);

}  // namespace klik
