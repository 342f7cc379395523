#pragma once
// The kiosk web page as the screen sequence needs it. The web module
// implements it; it observes "notifictionPhotoSessionEnded" and
// "notifictionPhotoSessionError" itself and posts
// "notifictionStartPhotoSession".
//
// Main thread only; nothing blocks.

#include <optional>

#include "foundation/Value.h"

namespace klik {

class WebControllerPort {
  public:
    virtual ~WebControllerPort() = default;

    // The sitting information of the last start ("email", "video",
    // "sittingid", "url"), or nothing when there is none. Returns a copy.
    virtual std::optional<Dictionary> webReturnInfo() const = 0;
    // Shows the web window in front when "prefDoUseWebView" is on; no
    // effect otherwise.
    virtual void startWebView() = 0;
    // Orders the web window out.
    virtual void orderOutWebWindow() = 0;
    // Hides (true) or shows again (false) the web page.
    virtual void hideWebView(bool hide) = 0;
};

}  // namespace klik
