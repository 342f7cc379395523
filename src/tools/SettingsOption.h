#pragma once
// The settings file klikctl works on: the one `--settings FILE` names, else
// the kiosk's standard one. Read without opening the store, so a command
// that only looks (doctor) never moves a corrupt file aside.

#include <string>

namespace klik::tools {

std::string settingsFileInForce();

}  // namespace klik::tools
