#pragma once
// Reads the test camera's faults file: a property list (XML or binary)
// whose keys fill CameraConfig's faults and timings. Unknown keys are
// refused, so a misspelt fault does not silently do nothing.

#include <string>

#include "ptpip/PtpCameraConfig.h"

namespace klik::ptp {

// The keys and their meaning, as printed by --help.
extern const char* const kFaultKeysHelp;

// Fills `config` from the file; false with the reason in `error`.
bool readFaultsFile(const std::string& path, CameraConfig& config, std::string& error);

}  // namespace klik::ptp
