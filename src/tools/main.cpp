// klikctl: the operator's command-line tool. Global options come before the
// subcommand: --root DIR places every fixed path under DIR (as KLIK_ROOT
// does), --settings FILE chooses the settings file.

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "foundation/FixedPaths.h"
#include "foundation/Settings.h"
#include "tools/Command.h"
#include "tools/SettingsOption.h"

namespace klik::tools {

namespace {
std::string gSettingsFile;

std::vector<Command>& registry() {
    static std::vector<Command> r;
    return r;
}

void printOverview() {
    std::cout << "usage: klikctl [--root DIR] [--settings FILE] COMMAND [ARGS...]\n\n"
                 "Commands:\n";
    auto sorted = registry();
    std::sort(sorted.begin(), sorted.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const auto& c : sorted) std::printf("  %-14s %s\n", c.name.c_str(), c.summary.c_str());
    std::cout << "\n'klikctl COMMAND --help' describes one command.\n";
}
}  // namespace

std::string settingsFileInForce() {
    return gSettingsFile.empty() ? Settings::defaultPath() : gSettingsFile;
}

bool registerCommand(Command c) {
    registry().push_back(std::move(c));
    return true;
}
const std::vector<Command>& commands() {
    return registry();
}

bool wantsHelp(const Args& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& a) { return a == "--help" || a == "-h"; });
}

int usageError(const Command& c, const std::string& message) {
    std::cerr << "klikctl " << c.name << ": " << message << "\n\n" << c.usage << "\n";
    return 2;
}

}  // namespace klik::tools

int main(int argc, char** argv) {
    using namespace klik::tools;
    Args args(argv + 1, argv + argc);
    size_t i = 0;
    while (i < args.size() && args[i].rfind("--", 0) == 0) {
        const std::string& opt = args[i];
        if (opt == "--help") {
            printOverview();
            return 0;
        }
        if ((opt == "--root" || opt == "--settings") && i + 1 < args.size()) {
            if (opt == "--root")
                klik::setFixedRoot(args[i + 1]);
            else {
                klik::Settings::setStandardPath(args[i + 1]);
                gSettingsFile = args[i + 1];
            }
            i += 2;
            continue;
        }
        std::cerr << "klikctl: unknown or incomplete option " << opt << "\n";
        return 2;
    }
    if (i >= args.size()) {
        printOverview();
        return 2;
    }
    const std::string name = args[i];
    Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
    for (const auto& c : commands()) {
        if (c.name != name) continue;
        if (wantsHelp(rest)) {
            std::cout << c.usage << "\n";
            return 0;
        }
        return c.run(rest);
    }
    std::cerr << "klikctl: unknown command '" << name << "' (see klikctl --help)\n";
    return 2;
}
