#pragma once
// The pointer and the menu bar of the desktop the kiosk runs on. The
// pointer is hidden with a blank override cursor over the application's
// windows; a kiosk session on Linux has no global menu bar, so hiding it
// is recorded and logged. Calls are idempotent. GUI thread only.

namespace klik {

class DesktopChrome {
  public:
    static void setCursorHidden(bool hidden);
    static bool isCursorHidden();
    static void setMenuBarHidden(bool hidden);
    static bool isMenuBarHidden();
};

}  // namespace klik
