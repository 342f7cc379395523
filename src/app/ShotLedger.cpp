#include "app/ShotLedger.h"

#include <algorithm>

namespace klik {

std::string GuestSession::label() const {
    if (!barcodeValue.empty()) return barcodeValue;
    if (!emails.empty()) return emails.front();
    return "turn " + std::to_string(turn);
}

std::uint64_t ShotLedger::ask(GuestSession session, double now,
                              std::optional<ShotRequest>* dropped) {
    if (dropped) dropped->reset();
    if (waiting_.size() >= kMaxWaiting) {
        if (dropped) *dropped = waiting_.front();
        waiting_.pop_front();
    }
    const std::uint64_t id = nextId_++;
    waiting_.push_back(ShotRequest{id, std::move(session), now});
    return id;
}

std::optional<ShotRequest> ShotLedger::answer() {
    return loseOldest();
}

std::optional<ShotRequest> ShotLedger::loseOldest() {
    if (waiting_.empty()) return std::nullopt;
    ShotRequest r = std::move(waiting_.front());
    waiting_.pop_front();
    return r;
}

std::optional<ShotRequest> ShotLedger::loseNewest() {
    if (waiting_.empty()) return std::nullopt;
    ShotRequest r = std::move(waiting_.back());
    waiting_.pop_back();
    return r;
}

std::vector<ShotRequest> ShotLedger::loseAll() {
    std::vector<ShotRequest> out(std::make_move_iterator(waiting_.begin()),
                                 std::make_move_iterator(waiting_.end()));
    waiting_.clear();
    return out;
}

std::vector<ShotRequest> ShotLedger::expire(double now, double lifetime) {
    std::vector<ShotRequest> out;
    while (!waiting_.empty() && now - waiting_.front().askedAt > lifetime) {
        out.push_back(std::move(waiting_.front()));
        waiting_.pop_front();
    }
    return out;
}

bool ShotLedger::isWaiting(std::uint64_t id) const {
    return std::any_of(waiting_.begin(), waiting_.end(),
                       [id](const ShotRequest& r) { return r.id == id; });
}

}  // namespace klik
