// klikctl validate-email: runs the kiosk's own address check on the
// addresses given, so an operator can see why a guest's address is refused.

#include <iostream>

#include "entry/EmailValidation.h"
#include "entry/EntryText.h"
#include "tools/Command.h"

namespace klik::tools {

namespace {

const Command& validateEmailCommand();

int runValidateEmail(const Args& args) {
    if (args.empty()) return usageError(validateEmailCommand(), "no address given");
    bool allValid = true;
    for (const std::string& address : args) {
        const bool valid = validateEmailAddress(address);
        allValid = allValid && valid;
        std::cout << entry::displayable(address) << ": " << (valid ? "valid" : "invalid") << "\n";
    }
    return allValid ? 0 : 1;
}

const Command& validateEmailCommand() {
    static const Command c{
        "validate-email", "check email addresses as the kiosk's keyboard does",
        "usage: klikctl validate-email ADDRESS...\n\n"
        "Prints \"ADDRESS: valid\" or \"ADDRESS: invalid\" for each address, checked\n"
        "as the kiosk checks what guests type (lower-cased, whole match, at most\n"
        "254 characters). Exit status 0 when every address is valid, 1 otherwise.",
        runValidateEmail};
    return c;
}

}  // namespace

KLIK_COMMAND(validateEmailCommand());

}  // namespace klik::tools
