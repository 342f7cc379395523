#pragma once
// klikctl's subcommands. Each lives in a file of its own and registers
// itself with a static KLIK_COMMAND object, so adding one touches nothing
// else.

#include <functional>
#include <string>
#include <vector>

namespace klik::tools {

using Args = std::vector<std::string>;

struct Command {
    std::string name;     // first word on the command line, e.g. "defaults"
    std::string summary;  // one line for `klikctl --help`
    std::string usage;    // full help text for `klikctl NAME --help`
    // Runs with the words after the name; returns the exit status.
    std::function<int(const Args&)> run;
};

// Registers a command; used through KLIK_COMMAND.
bool registerCommand(Command c);
const std::vector<Command>& commands();

// True when args hold "--help" or "-h".
bool wantsHelp(const Args& args);
// Prints "klikctl NAME: message" and the usage to stderr; returns 2.
int usageError(const Command& c, const std::string& message);

}  // namespace klik::tools

#define KLIK_CAT2(a, b) a##b
#define KLIK_CAT(a, b) KLIK_CAT2(a, b)
#define KLIK_COMMAND(...)                                          \
    static const bool KLIK_CAT(klikCommandRegistered_, __LINE__) = \
        ::klik::tools::registerCommand(::klik::tools::Command{__VA_ARGS__})
