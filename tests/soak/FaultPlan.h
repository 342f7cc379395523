#pragma once
// What goes wrong during a soak, and when: a seeded random plan, so a run
// that finds a fault can be played again exactly.

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace klik::soak {

enum class FaultKind {
    CameraVanish,        // the camera unplugs mid-download and is plugged in again
    CameraBusy,          // the camera refuses the shot (device busy)
    CameraSlow,          // the download takes 15 s: the photo comes during the next turn
    ScratchFull,         // the scratch disk has no room left
    MainShareDown,       // the main images folder's share is unmounted
    UploadShareDown,     // the upload folder's share is unmounted
    SettingsUnwritable,  // the settings file's disk turns read-only
    DayBoundary,         // the clock runs across midnight or 03:00 during a turn
};
constexpr std::size_t kFaultKinds = 8;

const char* faultName(FaultKind k);
// Faults that last some sessions (the others hit one turn).
bool faultLasts(FaultKind k);

class FaultPlan {
  public:
    // `rate`: the share of sessions that start a fault.
    FaultPlan(std::uint64_t seed, double rate);

    // A kind the plan may not use (reason kept for the report).
    void disable(FaultKind k, const std::string& reason);
    const std::string& disabledReason(FaultKind k) const { return disabled_[index(k)]; }

    // The fault starting with the next session, if any, and for how many
    // sessions it lasts (1 to 3 for lasting ones).
    struct Start {
        FaultKind kind;
        unsigned sessions;
    };
    std::optional<Start> next();
    // A number in [0, n) from the plan's stream (guest codes, clock choices).
    unsigned pick(unsigned n);

    static std::size_t index(FaultKind k) { return static_cast<std::size_t>(k); }

  private:
    std::mt19937_64 random_;
    double rate_;
    std::array<std::string, kFaultKinds> disabled_;
};

}  // namespace klik::soak
