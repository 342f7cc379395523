#pragma once
// What the kiosk's operator is told about the deliveries: when the oldest
// delivery still waiting has been waiting for more than ten minutes and
// has failed, once; and once more when deliveries flow again. The kiosk
// asks now and then; each question opens the outbox read-only for one
// short query (no network, never a write), so a missing or busy outbox
// costs nothing and says nothing.
//
// One thread (the kiosk's main thread); blocks on one small read.

#include <optional>
#include <string>

namespace klik::share {

class DeliveryHealth {
  public:
    explicit DeliveryHealth(std::string outboxPath, double failingAfterSeconds = 600)
        : path_(std::move(outboxPath)), after_(failingAfterSeconds) {}

    // The notice to show now, if any (`now` in seconds since the epoch).
    std::optional<std::string> check(double now);

  private:
    std::string path_;
    double after_;
    bool told_ = false;
};

}  // namespace klik::share
