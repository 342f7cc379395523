#pragma once
// How one delivery attempt ended.

#include <string>

namespace klik::share {

enum class DeliveryOutcome {
    Delivered,  // the server accepted it / the copy is in place and verified
    Temporary,  // try again later (no network, server down, 4xx, timeout)
    Permanent,  // will never work (mailbox does not exist, address refused)
    Stopped,    // the program is ending; the job goes back to pending
};

struct DeliveryResult {
    DeliveryOutcome outcome = DeliveryOutcome::Temporary;
    std::string error;      // why, for the log and `klikctl share status`
    bool recorded = false;  // the outbox already holds this outcome
    // The message's end went out and no answer came: the server may hold it.
    bool maybeTaken = false;
};

}  // namespace klik::share
