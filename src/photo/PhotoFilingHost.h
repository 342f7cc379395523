#pragma once
// What the filing chain needs from its owner: modal alerts the operator
// must answer, the preferences window, and the new-item announcement. The
// kiosk's controller implements it over its UI port; the command-line tool
// prints.

#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

class PhotoFilingHost {
  public:
    virtual ~PhotoFilingHost() = default;

    // Shows a modal alert and blocks until it is dismissed; returns the
    // index of the button pressed. Called on the filing thread.
    virtual int runFilingAlert(const std::string& message, const std::string& informative,
                               const std::vector<std::string>& buttons) = 0;
    // Opens the preferences `delaySeconds` from now. Does not block.
    virtual void openPreferencesAfterDelay(double delaySeconds) = 0;
    // A notice the operator must see without it stopping the guest (the
    // floating panel on the kiosk, standard error in the tool). Does not
    // block. Called on the filing thread.
    virtual void notifyOperator(const std::string& text) = 0;
    // Sends the announcement; blocks until it is handed on.
    virtual bool announce(const std::string& name, const std::string& object,
                          const Dictionary& userInfo) = 0;
};

}  // namespace klik
