#pragma once
// Sizes and windows of the default artwork. The live-side pictures share one
// transparent window; the kiosk measures it from the pictures themselves, so
// these numbers matter only to the generator and its tests.

#include <QRect>
#include <QSize>

namespace klik::artwork {

// Full-screen pictures of the touch and live sides.
inline constexpr QSize kScreenSize{1920, 1080};
// Where the live picture shows through on the live side: 1056 x 704 (3:2,
// the camera's live-view aspect), centred a little above the middle.
inline constexpr QRect kLiveWindow{432, 150, 1056, 704};
// The print frame: 4 x 6 inches at 300 dpi, portrait, with a square window
// for the square-cut photo.
inline constexpr QSize kPrintSize{1200, 1800};
inline constexpr QRect kPrintWindow{100, 100, 1000, 1000};
// The overlay laid over a 640 x 480 video still.
inline constexpr QSize kSnapShotSize{640, 480};

}  // namespace klik::artwork
