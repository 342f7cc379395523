#include "ui/windows/DesktopChrome.h"

#include <QCursor>
#include <QGuiApplication>

#include "log/Log.h"

namespace klik {

namespace {
bool gCursorHidden = false;
bool gMenuBarHidden = false;
}  // namespace

void DesktopChrome::setCursorHidden(bool hidden) {
    if (hidden == gCursorHidden) return;
    gCursorHidden = hidden;
    if (hidden)
        QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    else
        QGuiApplication::restoreOverrideCursor();
    GLIMRA_Log::debug(hidden ? "pointer hidden" : "pointer shown");
}

bool DesktopChrome::isCursorHidden() {
    return gCursorHidden;
}

void DesktopChrome::setMenuBarHidden(bool hidden) {
    if (hidden == gMenuBarHidden) return;
    gMenuBarHidden = hidden;
    GLIMRA_Log::debug(hidden ? "menu bar hidden" : "menu bar shown");
}

bool DesktopChrome::isMenuBarHidden() {
    return gMenuBarHidden;
}

}  // namespace klik
