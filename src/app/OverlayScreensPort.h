#pragma once
// Runs an overlay screen: its view from its interface file in a borderless
// window laid over the touch window, modally, until one of its buttons ends
// the run with the button's tag. ui/ implements it.

#include <optional>

#include "app/OverlayScreen.h"

namespace klik {

class OverlayScreensPort {
  public:
    virtual ~OverlayScreensPort() = default;

    // Main thread; blocks (runs the modal loop) until a button answers.
    // Returns the result code, or nothing when the interface file or its
    // view is missing (then nothing was shown).
    virtual std::optional<int> runModal(OverlayScreen screen) = 0;
};

}  // namespace klik
