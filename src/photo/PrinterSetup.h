#pragma once
// The operator's printer set-up as the kiosk keeps it between launches: the
// queue, the paper, the orientation, the margins and the copies. It travels
// as a dictionary and is stored in the settings as property-list data
// ("persistent printer settings").
//
// Plain value; any thread.

#include <optional>
#include <string>

#include "foundation/Value.h"

namespace klik {

struct PrinterSetup {
    std::string printerName;     // queue name; empty = the system's default printer
    std::string outputFileName;  // when set, the print goes to this PDF file instead
    std::string paperName;       // e.g. "A4", "Letter"; empty = the printer's default
    double paperWidthMM = 0;     // 0 = taken from paperName or the printer
    double paperHeightMM = 0;
    bool landscape = false;
    double leftMarginMM = 0, topMarginMM = 0, rightMarginMM = 0, bottomMarginMM = 0;
    int copies = 1;
    bool centerHorizontally = false;
    bool centerVertically = false;
    bool clipHorizontally = false;  // pagination: clip (no scaling to the page)
    bool clipVertically = false;
    int resolutionDPI = 0;  // 0 = the printer's default

    bool operator==(const PrinterSetup&) const = default;

    Dictionary toDictionary() const;
    // Reads what toDictionary wrote; missing entries keep their defaults,
    // entries of the wrong type are refused with a reason in `error`.
    static std::optional<PrinterSetup> fromDictionary(const Dictionary& d,
                                                      std::string* error = nullptr);

    // Property-list data for the settings, and back.
    Data archive() const;
    static std::optional<PrinterSetup> unarchive(const Data& bytes, std::string* error = nullptr);
};

}  // namespace klik
