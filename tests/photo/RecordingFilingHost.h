#pragma once
// A filing host that records what the filing chain asks of the kiosk: its
// alerts (the message), notices, announcements and delayed preference
// windows.

#include <string>
#include <vector>

#include "photo/PhotoFiler.h"

namespace klik::test {

struct RecordingFilingHost : PhotoFilingHost {
    std::vector<std::string> alerts, notices, announcedAs;  // announcedAs: "name object"
    std::vector<Dictionary> announced;
    std::vector<double> prefsDelays;
    int runFilingAlert(const std::string& m, const std::string&,
                       const std::vector<std::string>&) override {
        alerts.push_back(m);
        return 0;
    }
    void notifyOperator(const std::string& text) override { notices.push_back(text); }
    void openPreferencesAfterDelay(double d) override { prefsDelays.push_back(d); }
    bool announce(const std::string& name, const std::string& object,
                  const Dictionary& info) override {
        announcedAs.push_back(name + " " + object);
        announced.push_back(info);
        return true;
    }
};

}  // namespace klik::test
