#pragma once
// The libgphoto2 backend as the programs choose it: "--camera gphoto2
// [--port PORT]". Without a port, cameras on USB are found by themselves;
// with "HOST:PORT" or "ptpip:HOST:PORT" the PTP/IP camera at that address
// is used; with a "usb:BUS,DEV" port only USB cameras are looked for.

#include <memory>
#include <string>

#include "camera/sdk/CamSDK.h"

namespace klik {

// The backend for `port` (may be empty); null with the reason in `error`
// for a port it cannot use.
std::shared_ptr<CamSDK> makeGPhotoSDK(const std::string& port, std::string& error);

}  // namespace klik
