#pragma once
// The full-screen overlay screens run modally over the touch window.

namespace klik {

enum class OverlayScreen {
    Legalese,           // "LegaleseView": the legal text before a session
    PleaseWait,         // "PleaseWaitView": after the email entry
    ConfirmCancel,      // "ConfirmCancelView": the cancel confirmation
    ConfirmEmailEntry,  // "ConfirmEmailEntry": the email error screen
};

// The interface file's name ("LegaleseView", ...).
const char* overlayInterfaceName(OverlayScreen s);

// The result code that means "go on".
inline constexpr int kOverlayGoOn = 100;

}  // namespace klik
