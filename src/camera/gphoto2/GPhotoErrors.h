#pragma once
// libgphoto2's result codes as camera SDK error codes, and the library's own
// words for them (its error text, with a remedy where the cause is almost
// always the same), for the log and the operator.

#include <string>

#include "camera/sdk/CamSDK.h"

namespace klik {

inline constexpr CamError CAM_ERR_COMM_PORT_IN_USE = 0xC0;
inline constexpr CamError CAM_ERR_WAIT_TIMEOUT = 0xF4;

// The CamSDK code standing for a libgphoto2 result (0 for GP_OK).
CamError camErrorForGPhoto(int result);
// The library's text for a result, with a remedy for a claimed USB device.
std::string gphotoErrorText(int result);
// True for results that mean the camera is gone (unplugged, connection
// dropped), not merely that the call failed.
bool gphotoResultMeansGone(int result);

}  // namespace klik
