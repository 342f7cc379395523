#pragma once
// What the touch side shows of the guest's own link on the review screen
// (screen 7): the QR code of their photo's page in the booth's gallery with
// its caption and, when the booth has a Wi-Fi network of its own, a second
// code that joins it. The controller decides when (AppController_ShareCode
// .cpp); ui/ draws it (ui/windows/ShareCodeWidget). Main thread only; not
// copyable.

#include <cstdint>
#include <functional>
#include <string>

#include "app/ChangeObservers.h"

namespace klik {

class ShareCodeView {
  public:
    static constexpr const char* kCaption = "Scan to get your photo";
    static constexpr const char* kWifiCaption = "Join the booth's Wi-Fi";

    ShareCodeView() = default;
    ShareCodeView(const ShareCodeView&) = delete;
    ShareCodeView& operator=(const ShareCodeView&) = delete;

    bool isHidden() const { return hidden_; }
    // The photo's link ("" while hidden).
    const std::string& link() const { return link_; }
    // The Wi-Fi code's text (wifiJoinCode), "" for none.
    const std::string& wifiCode() const { return wifi_; }
    const char* caption() const { return kCaption; }
    const char* wifiCaption() const { return kWifiCaption; }

    // Shows the codes; an empty link hides them.
    void show(const std::string& link, const std::string& wifiCode);
    void hide();

    std::uint64_t revision() const { return revision_; }
    using ObserverId = ChangeObservers<const ShareCodeView&>::Id;
    // Called after every change; remove before the observer goes.
    ObserverId addChangeObserver(std::function<void(const ShareCodeView&)> observer) {
        return observers_.add(std::move(observer));
    }
    void removeChangeObserver(ObserverId id) { observers_.remove(id); }

  private:
    void changed();

    bool hidden_ = true;
    std::string link_;
    std::string wifi_;
    std::uint64_t revision_ = 0;
    ChangeObservers<const ShareCodeView&> observers_;
};

// The text phones read as "join this network": "WIFI:T:WPA;S:name;P:pass;;"
// ("WIFI:T:nopass;S:name;;" without a password), with "\", ";", ",", ":"
// and '"' escaped by a backslash, and a name or password of hex digits only
// put in double quotes (else readers take it for hex). "" without a name.
// Pure.
std::string wifiJoinCode(const std::string& name, const std::string& password);

}  // namespace klik
