// klikctl print supplies | reload: the paper the kiosk counts.

#include <iostream>

#include "foundation/Settings.h"
#include "photo/PaperSupply.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl print supplies\n"
    "       klikctl print reload\n"
    "\n"
    "supplies: the prints a load of paper holds (\"prefPrintsPerLoad\"), the sheets\n"
    "printed since the last reload and what is left. Exit status 1 when the paper\n"
    "is used up (the kiosk then prints nothing and tells the guest).\n"
    "reload: new paper is in; the count starts again.";

const Command& self();

void printSupplies(const PaperSupply& paper) {
    if (!paper.counted()) {
        std::cout << "paper          not counted (klikctl defaults write prefPrintsPerLoad N)\n";
        return;
    }
    std::cout << "paper          " << paper.describe() << " (" << paper.printed()
              << " printed since the last reload)"
              << (paper.empty() ? ": USED UP"
                  : paper.low() ? ": low"
                                : "")
              << "\n";
}

int run(const Args& a) {
    if (a.size() != 1 || (a[0] != "supplies" && a[0] != "reload"))
        return usageError(self(), "expected 'supplies' or 'reload'");
    Settings& s = Settings::standard();
    PaperSupply paper(s);
    if (a[0] == "reload") {
        if (!paper.reload()) {
            std::cerr << "klikctl print reload: the settings file " << s.path()
                      << " cannot be written\n";
            return 1;
        }
        std::cout << "paper reloaded: " << paper.describe() << "\n";
        return 0;
    }
    printSupplies(paper);
    return paper.empty() ? 1 : 0;
}

const Command& self() {
    static const Command c{"print", "the printer's paper as the kiosk counts it", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
