#pragma once
// Where the kiosk's resources (FactoryDefault.plist, artwork, interface
// files) are found: $KLIK_RESOURCES when set, else the installed share
// folder beside the executable (../share/klik), else the source tree's
// resources/ folder the build was made from.

#include <string>

namespace klik {

// The resources folder in force.
std::string resourceDirectory();
// resourceDirectory() + "/" + name; the file need not exist.
std::string resourcePath(const std::string& name);

}  // namespace klik
