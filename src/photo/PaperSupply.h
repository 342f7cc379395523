#pragma once
// The paper left in the printer, counted by the kiosk: the operator enters
// how many prints a new roll or stack holds ("prefPrintsPerLoad"; 0 = not
// counted) and reloads the count with `klikctl print reload` after putting
// in new paper. Every sheet the kiosk prints (copies included) is counted
// in the settings, so the count outlives a restart.
//
// A printer that runs dry mid-event otherwise keeps taking jobs it cannot
// print, and the guests walk away waiting for prints that never come.
//
// Main thread (the print flow) and klikctl; the settings are borrowed.

#include <optional>
#include <string>

#include "foundation/Settings.h"

namespace klik {

class PaperSupply {
  public:
    static constexpr const char* kPerLoadKey = "prefPrintsPerLoad";
    static constexpr const char* kPrintedKey = "printSheetsSinceReload";
    // Below this share of a load the operator is warned.
    static constexpr int kLowPercent = 10;

    explicit PaperSupply(Settings& settings) : settings_(settings) {}

    // Sheets a full load holds; 0 when the operator does not count.
    int perLoad() const;
    bool counted() const { return perLoad() > 0; }
    // Sheets printed since the last reload.
    int printed() const;
    // Sheets left; meaningful only when counted.
    int left() const;
    bool empty() const { return counted() && left() == 0; }
    bool low() const;

    // How many of `wanted` copies the paper allows (all of them when not
    // counted; 0 when empty).
    int allowedCopies(int wanted) const;
    // Counts `sheets` printed and stores the count at once. Returns the
    // notice for the operator when this print made the paper low or
    // empty (once per crossing), else nothing.
    std::optional<std::string> notePrinted(int sheets);
    // New paper: the count starts again. False when the count could not
    // be stored.
    bool reload();

    // One line for the operator: "12 of 50 prints left", or that nothing is
    // counted.
    std::string describe() const;
    // What the guest reads on the review screen when the paper is out.
    static std::string emptyNoticeForGuest();
    // What the operator reads when the paper is out, and the way out.
    std::string emptyNoticeForOperator() const;

  private:
    Settings& settings_;
};

}  // namespace klik
