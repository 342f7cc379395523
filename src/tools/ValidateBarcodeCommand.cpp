// klikctl validate-barcode: applies the barcode rules in the current
// settings to one entry, as the kiosk's barcode field would.

#include <iostream>

#include "entry/BarcodeCheck.h"
#include "entry/BarcodeRules.h"
#include "foundation/Settings.h"
#include "tools/Command.h"

namespace klik::tools {

namespace {

const Command& validateBarcodeCommand();

int runValidateBarcode(const Args& args) {
    if (args.size() != 1) return usageError(validateBarcodeCommand(), "give exactly one TEXT");
    const BarcodeRules rules = BarcodeRules::fromSettings(Settings::standard());
    const BarcodeCheck check = BarcodeCheck::check(args[0], rules);
    switch (check.outcome) {
        case BarcodeCheck::Outcome::Accepted:
            std::cout << check.value << "\n";
            return 0;
        case BarcodeCheck::Outcome::Empty:
            std::cout << "empty entry: the kiosk does nothing with it\n";
            return 1;
        case BarcodeCheck::Outcome::Rejected:
            std::cout << "invalid barcode [" << check.shownValue << "]: " << check.reason << "\n";
            return 1;
    }
    return 1;
}

const Command& validateBarcodeCommand() {
    static const Command c{
        "validate-barcode", "check a barcode entry against the current barcode settings",
        "usage: klikctl validate-barcode TEXT\n\n"
        "Checks TEXT as the kiosk's barcode field does, with the settings\n"
        "prefBarcodeValidationCaseSensitive, prefBarcodeValidationCharSetString and\n"
        "prefBarcodeValidationMinimumLength. Prints the value the kiosk would keep\n"
        "(trimmed, in the case typed) and exits 0, or prints why it is refused and\n"
        "exits 1.",
        runValidateBarcode};
    return c;
}

}  // namespace

KLIK_COMMAND(validateBarcodeCommand());

}  // namespace klik::tools
