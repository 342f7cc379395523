#include "share/DeliveryHealth.h"

#include <sys/stat.h>

#include "share/Outbox.h"

namespace klik::share {

std::optional<std::string> DeliveryHealth::check(double now) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) return std::nullopt;
    std::string error;
    auto box = Outbox::open(path_, &error, true);
    if (!box) return std::nullopt;
    const double oldest = box->oldestUndelivered();
    bool failing = false;
    std::string lastError;
    int waiting = 0;
    if (oldest > 0 && now - oldest > after_) {
        for (const auto& t : box->summary()) {
            waiting += t.pending + t.inFlight;
            if (t.pending > 0 && !t.lastError.empty()) {
                failing = true;
                lastError = t.target + ": " + t.lastError;
            }
        }
    }
    if (failing && !told_) {
        told_ = true;
        return "Deliveries have been failing for " +
               std::to_string(static_cast<long>((now - oldest) / 60)) + " minutes (" +
               std::to_string(waiting) + " waiting). " + lastError +
               "\nklikctl share status tells more.";
    }
    if (!failing && told_ && oldest == 0) {
        told_ = false;
        return std::string("Deliveries flow again: every photo has gone out.");
    }
    if (!failing && told_ && oldest > 0 && now - oldest <= after_) {
        told_ = false;
        return std::string("Deliveries flow again.");
    }
    return std::nullopt;
}

}  // namespace klik::share
