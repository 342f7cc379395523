#pragma once
// The shots the kiosk asked the camera for and still waits on, each with the
// guest's data of the turn that asked. A picture comes back to the request
// that asked for it, so a picture that arrives after its turn ended is still
// filed under its own guest, never under the guest now at the screen.
//
// The camera delivers pictures in the order it took them, so an arriving
// picture answers the oldest request; a failed download loses the oldest
// one too, a refused shot command the newest (its shot was never taken).
// A shot whose picture never comes and whose loss is never reported keeps
// its place until it expires, and the next picture is taken as its own:
// every way the camera layer knows to lose a picture is reported.
//
// Main thread only; not locked.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace klik {

// One guest's data as it stood when a shot was asked for.
struct GuestSession {
    std::uint64_t turn = 0;  // the turn that asked (counted from launch)
    std::string barcodeValue;
    std::vector<std::string> emails;
    std::optional<Dictionary> sitting;  // the web page's sitting information, when any

    // The barcode, else the first address, else "turn N": how the log and
    // the operator name this guest.
    std::string label() const;
};

struct ShotRequest {
    std::uint64_t id = 0;
    GuestSession session;
    double askedAt = 0;  // seconds on the main loop's clock
};

class ShotLedger {
  public:
    // Requests kept at most; beyond it the oldest is given up.
    static constexpr size_t kMaxWaiting = 8;

    // Records a shot asked for by `session` at `now`; returns its id (never
    // 0). A request pushed out by the limit is returned in `dropped`.
    std::uint64_t ask(GuestSession session, double now,
                      std::optional<ShotRequest>* dropped = nullptr);
    // A picture arrived: the request it answers (the oldest), removed; none
    // when nothing waits.
    std::optional<ShotRequest> answer();
    // A download failed: the oldest request is lost.
    std::optional<ShotRequest> loseOldest();
    // The shot command was refused: the newest request is lost.
    std::optional<ShotRequest> loseNewest();
    // The camera went away: every request is lost.
    std::vector<ShotRequest> loseAll();
    // Requests asked for more than `lifetime` seconds before `now`: no
    // picture can still come for them.
    std::vector<ShotRequest> expire(double now, double lifetime);

    bool isWaiting(std::uint64_t id) const;
    size_t waiting() const { return waiting_.size(); }

  private:
    std::deque<ShotRequest> waiting_;
    std::uint64_t nextId_ = 1;
};

}  // namespace klik
