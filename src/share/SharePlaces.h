#pragma once
// Where the upload side keeps its things, by the same rules as the kiosk
// and klikctl: under --root / KLIK_ROOT when one is given, else in the
// user's standard places.
//
//   outbox   /KlikShareOutbox.sqlite  ($XDG_STATE_HOME/klik/ without a root)
//   log      /Library/Logs/Klik/Klik_Share.log
//   settings the file --settings names; else, under a root, the scripted
//            kiosk's ROOT/config/klik/Klik_Kiosk.plist when it exists; else
//            the kiosk's standard store
//
// Any thread.

#include <string>

namespace klik::share {

inline constexpr const char* kOutboxFixedPath = "/KlikShareOutbox.sqlite";
inline constexpr const char* kShareLogFixedPath = "/Library/Logs/Klik/Klik_Share.log";

std::string outboxPath();
// The settings file to use when none was named.
std::string shareSettingsPath();

}  // namespace klik::share
