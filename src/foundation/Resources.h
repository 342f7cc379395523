#pragma once
// Where the kiosk's resources (FactoryDefault.plist, artwork, interface
// files) are found, first match wins:
//   1. $KLIK_RESOURCES, when set;
//   2. the installed share folder of this program, <prefix>/share/klik
//      beside <prefix>/bin (/usr/share/klik for /usr/bin/klik-kiosk, and
//      the same inside an unpacked package);
//   3. the resources/ folder of the source tree the build was made from;
//   4. the share folder the build was configured to install into.
// A folder counts only when it holds FactoryDefault.plist (1. always counts).

#include <string>

namespace klik {

// The resources folder in force. Any thread.
std::string resourceDirectory();
// resourceDirectory() + "/" + name; the file need not exist.
std::string resourcePath(const std::string& name);

}  // namespace klik
