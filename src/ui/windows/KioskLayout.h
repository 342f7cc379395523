#pragma once
// The kiosk's main window layout: where each of the controller's views
// goes while the controller has given it no frame. The touch side: the
// entry field on the shelf in the lower middle, the go button over the whole side (a
// touch anywhere starts), the keyboard in the lower half, the bad-email
// picture and the countdown centred, the photographer buttons along the
// bottom; the live side and the overlay centre their countdown numbers.
// Pure geometry (Qt top-left coordinates); any thread.

#include <QRect>
#include <QSize>
#include <string>

namespace klik {

// The default place of the view named `name` in a parent of `parent` size;
// the whole parent for views it does not know.
QRect defaultPlace(const std::string& name, const QSize& parent);

// A rectangle of `size` centred in `parent` (may start at negative x/y).
QRect centred(const QSize& size, const QSize& parent);

}  // namespace klik
