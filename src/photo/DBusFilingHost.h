#pragma once
// A filing host without a screen (the command-line tool): alerts are
// written to the log and standard error and answered with the first
// button; announcements go out on D-Bus.

#include "photo/PhotoFilingHost.h"

namespace klik {

class DBusFilingHost : public PhotoFilingHost {
  public:
    int runFilingAlert(const std::string& message, const std::string& informative,
                       const std::vector<std::string>& buttons) override;
    void openPreferencesAfterDelay(double delaySeconds) override;
    void notifyOperator(const std::string& text) override;
    bool announce(const std::string& name, const std::string& object,
                  const Dictionary& userInfo) override;
};

}  // namespace klik
