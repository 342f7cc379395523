// klikctl share: hands the words after "share" to the subcommand they name.

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "tools/ShareCommand.h"

namespace klik::tools {
namespace {

std::vector<ShareSubcommand>& registry() {
    static std::vector<ShareSubcommand> r;
    return r;
}

// Registered before every subcommand may be: the list is printed by
// `klikctl share` itself.
const char* kUsage =
    "usage: klikctl share SUBCOMMAND [ARGS...]\n"
    "       klikctl share help SUBCOMMAND\n"
    "\n"
    "The upload side: links to the booth's gallery and the delivery of photos.\n"
    "`klikctl share` alone lists the subcommands; `klikctl share help SUBCOMMAND`\n"
    "describes one.";

std::string listing() {
    std::string text = "Subcommands of klikctl share:\n";
    auto sorted = registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const ShareSubcommand& a, const ShareSubcommand& b) { return a.name < b.name; });
    for (const auto& c : sorted) {
        char line[256];
        std::snprintf(line, sizeof line, "  %-10s %s\n", c.name.c_str(), c.summary.c_str());
        text += line;
    }
    text += "\n'klikctl share help SUBCOMMAND' describes one.";
    return text;
}

const Command& self();

int run(const Args& a) {
    if (a.empty()) {
        std::cerr << listing() << "\n";
        return 2;
    }
    if (a[0] == "help") {
        if (a.size() == 1) {
            std::cout << listing() << "\n";
            return 0;
        }
        for (const ShareSubcommand& c : registry())
            if (c.name == a[1]) {
                std::cout << c.usage << "\n";
                return 0;
            }
        return usageError(self(), "no subcommand \"" + a[1] + "\"");
    }
    for (const ShareSubcommand& c : registry())
        if (c.name == a[0]) return c.run(Args(a.begin() + 1, a.end()));
    std::cerr << "klikctl share: no subcommand \"" << a[0] << "\"\n\n" << listing() << "\n";
    return 2;
}

const Command& self() {
    static const Command c{"share", "the upload side: gallery links, delivery", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace

bool registerShareSubcommand(ShareSubcommand c) {
    registry().push_back(std::move(c));
    return true;
}

const std::vector<ShareSubcommand>& shareSubcommands() {
    return registry();
}

}  // namespace klik::tools
