#include "photo/PaperSupply.h"

#include <algorithm>
#include <cstdint>

#include "log/Log.h"

namespace klik {

namespace {
// A hand-edited settings file may hold anything; counts stay in a sane range.
constexpr std::int64_t kMaxSheets = 1'000'000;

int clampedCount(std::int64_t v) {
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, kMaxSheets));
}
}  // namespace

int PaperSupply::perLoad() const {
    return clampedCount(settings_.integerForKey(kPerLoadKey));
}

int PaperSupply::printed() const {
    return clampedCount(settings_.integerForKey(kPrintedKey));
}

int PaperSupply::left() const {
    return std::max(0, perLoad() - printed());
}

bool PaperSupply::low() const {
    // 10 % of a load rounded up, at least one sheet: a load of 50 warns
    // with 5 left, a load of 5 at the last one.
    const int per = perLoad();
    return per > 0 && left() <= std::max(1, (per * kLowPercent + 99) / 100);
}

int PaperSupply::allowedCopies(int wanted) const {
    if (!counted()) return wanted;
    return std::clamp(wanted, 0, left());
}

std::optional<std::string> PaperSupply::notePrinted(int sheets) {
    if (!counted() || sheets <= 0) return std::nullopt;
    const bool wasLow = low();
    const bool wasEmpty = empty();
    settings_.setInteger(
        kPrintedKey,
        std::min<std::int64_t>(static_cast<std::int64_t>(printed()) + sheets, kMaxSheets));
    if (!settings_.synchronize())
        GLIMRA_Log::err("the printed-sheet count could not be stored; it is kept until it can be");
    if (empty() && !wasEmpty) return emptyNoticeForOperator();
    if (low() && !wasLow) return "The printer's paper is running low: " + describe() + ".";
    return std::nullopt;
}

bool PaperSupply::reload() {
    settings_.setInteger(kPrintedKey, 0);
    if (!settings_.synchronize()) return false;
    GLIMRA_Log::debug("paper reloaded: " + describe());
    return true;
}

std::string PaperSupply::emptyNoticeForOperator() const {
    return "The printer's paper is used up (" + std::to_string(perLoad()) +
           " prints). Put in new paper and run: klikctl print reload";
}

std::string PaperSupply::describe() const {
    if (!counted()) return "paper is not counted (prefPrintsPerLoad is 0)";
    return std::to_string(left()) + " of " + std::to_string(perLoad()) + " prints left";
}

std::string PaperSupply::emptyNoticeForGuest() {
    return "Sorry, the printer is out of paper.\nYour photo is saved and on its way to you.";
}

}  // namespace klik
