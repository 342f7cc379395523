#include "soak/FaultPlan.h"

#include <vector>

namespace klik::soak {

const char* faultName(FaultKind k) {
    // In the order of FaultKind.
    static constexpr std::array<const char*, kFaultKinds> kNames = {
        "camera-vanish",   "camera-busy",       "camera-slow",         "scratch-full",
        "main-share-down", "upload-share-down", "settings-unwritable", "day-boundary"};
    return kNames[FaultPlan::index(k)];
}

bool faultLasts(FaultKind k) {
    return k == FaultKind::ScratchFull || k == FaultKind::MainShareDown ||
           k == FaultKind::UploadShareDown || k == FaultKind::SettingsUnwritable;
}

FaultPlan::FaultPlan(std::uint64_t seed, double rate) : random_(seed), rate_(rate) {}

void FaultPlan::disable(FaultKind k, const std::string& reason) {
    disabled_[index(k)] = reason.empty() ? "disabled" : reason;
}

unsigned FaultPlan::pick(unsigned n) {
    return n == 0 ? 0 : static_cast<unsigned>(random_() % n);
}

std::optional<FaultPlan::Start> FaultPlan::next() {
    const double roll = static_cast<double>(random_() >> 11) / static_cast<double>(1ull << 53);
    if (roll >= rate_) return std::nullopt;
    std::vector<FaultKind> open;
    for (std::size_t i = 0; i < kFaultKinds; ++i)
        if (disabled_[i].empty()) open.push_back(static_cast<FaultKind>(i));
    if (open.empty()) return std::nullopt;
    const FaultKind k = open[pick(static_cast<unsigned>(open.size()))];
    return Start{k, faultLasts(k) ? 1 + pick(3) : 1};
}

}  // namespace klik::soak
