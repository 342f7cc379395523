#pragma once
// Runs an overlay screen: its view from its interface file in a borderless
// window laid over the touch window, modally, until one of its buttons ends
// the run with the button's tag. ui/ implements it.

#include <optional>

#include "app/OverlayScreen.h"
#include "app/Picture.h"

namespace klik {

class OverlayScreensPort {
  public:
    virtual ~OverlayScreensPort() = default;

    // Main thread; blocks (runs the modal loop) until a button answers.
    // Returns the result code, or nothing when the interface file or its
    // view is missing (then nothing was shown).
    virtual std::optional<int> runModal(OverlayScreen screen) = 0;
    // Main thread; does not block. The picture the screen's image view shows
    // from its next run on (the email error screen's "EmailError" or
    // "EmailMisMatch"). Screens without an image view ignore it.
    // Main thread. Puts the movie view (its own interface file) on the touch
    // window; false when there is none to put there.
    virtual bool displayMovieView() { return false; }
    virtual void setImage(OverlayScreen screen, PicturePtr picture) {
        (void)screen;
        (void)picture;
    }
};

}  // namespace klik
