#include "entry/BarcodeRules.h"

#include "entry/EntryText.h"
#include "foundation/Settings.h"

namespace klik {

BarcodeRules BarcodeRules::fromSettings(const Settings& settings) {
    BarcodeRules rules;
    // Numbers and strings answer a bool value; other objects (a date, a
    // dictionary) leave the safe default in place.
    if (auto v = settings.objectForKey("prefBarcodeValidationCaseSensitive");
        v && (v->isNumber() || v->isString()))
        rules.caseSensitive = v->boolValue();
    if (auto s = settings.stringForKey("prefBarcodeValidationCharSetString"))
        rules.allowedCharacters = entry::trimmed(*s);
    rules.minimumLength = settings.integerForKey("prefBarcodeValidationMinimumLength");
    return rules;
}

}  // namespace klik
