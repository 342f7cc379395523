#pragma once
// The overlay screens over Qt: each screen's Designer file is loaded on
// first use and kept; a run lays it over the touch side's window (the
// touch window when shown, else the touch full-screen window) and waits
// for a button's tag. The cancel confirmation lets the touch side show
// through. An answerer, when set, picks the tag instead of a person
// (scripted runs); the screen is still loaded and shown.
//
// GUI thread only. The windows are borrowed.

#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "app/OverlayScreen.h"
#include "app/OverlayScreensPort.h"

namespace klik {

class KioskWindows;
class OverlayScreenDialog;

class QtOverlayScreens : public OverlayScreensPort {
  public:
    using Answerer = std::function<int(OverlayScreen screen)>;

    explicit QtOverlayScreens(KioskWindows& windows);
    ~QtOverlayScreens() override;

    std::optional<int> runModal(OverlayScreen screen) override;
    void setImage(OverlayScreen screen, PicturePtr picture) override;
    void setAnswerer(Answerer a) { answerer_ = std::move(a); }

  private:
    // The screen's dialog, loaded on first use; null when it cannot load.
    OverlayScreenDialog* screenFor(OverlayScreen screen);

    KioskWindows& windows_;
    Answerer answerer_;
    std::map<OverlayScreen, std::unique_ptr<OverlayScreenDialog>> screens_;
};

}  // namespace klik
