#pragma once
// The port through which the controller reaches the screen. The controller
// decides and keeps the views' state in View objects; whatever blocks (a
// modal alert), must be drawn at once or belongs to the desktop (windows,
// screen updates, sounds, pointer, menu bar) goes through here. ui/
// implements it over Qt; tests use a recording fake; klikctl a printing one.
//
// Every operation is called on the main thread only.

#include <cstdint>
#include <string>

#include "app/KioskAlert.h"
#include "app/KioskWindow.h"
#include "app/Rect.h"

namespace klik {

class View;

class KioskUi {
  public:
    virtual ~KioskUi() = default;

    // Batching: between the two nothing is drawn, so a screen's whole entry
    // action appears at once. Calls nest; drawing resumes at the last enable.
    virtual void disableScreenUpdates() = 0;
    virtual void enableScreenUpdates() = 0;

    // Window order and focus. Do not block.
    virtual void orderFront(KioskWindow w) = 0;
    virtual void makeKeyAndOrderFront(KioskWindow w) = 0;
    virtual void orderOut(KioskWindow w) = 0;
    // Gives keyboard focus within `w` to `v` (a view of that window).
    virtual void makeFirstResponder(KioskWindow w, View& v) = 0;

    // The system beep, and a named system sound ("Grab"). Do not block.
    virtual void beep() = 0;
    virtual void playSound(const std::string& name) = 0;

    // The screen sequence is entering screen `screenNumber` (0 to 7); its
    // entry actions follow (and may enter the next screen at once). Also
    // called when screen 5 falls back to 4.
    virtual void screenDidChange(std::uint32_t screenNumber) = 0;

    // Runs a modal alert; blocks until a button is pressed and returns its
    // index in `alert.buttons` (negative when dismissed otherwise).
    virtual int runAlert(const KioskAlert& alert) = 0;

    // The floating message panel: show `text` at `alpha` in front of
    // everything, or fade it out over `seconds`. Do not block.
    virtual void showFloatingPanel(const std::string& text, double alpha) = 0;
    virtual void fadeOutFloatingPanel(double seconds) = 0;

    // Pointer and menu bar visibility.
    virtual void setCursorHidden(bool hidden) = 0;
    virtual void setMenuBarHidden(bool hidden) = 0;

    // Opens the file at `path` with the desktop's default application; false
    // when there is no desktop to open it (the default) or it refused. Does
    // not wait for the application.
    virtual bool openFile(const std::string& path);

    // Attached screens, first = main screen; frames in global coordinates.
    virtual int screenCount() const = 0;
    virtual Rect screenFrame(int index) const = 0;
};

}  // namespace klik
