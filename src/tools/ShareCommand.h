#pragma once
// `klikctl share SUBCOMMAND ...`: the upload side's commands (the gallery's
// `link`, the outbox's `status` and `retry`, ...). Each subcommand lives in
// a file of its own and registers itself with KLIK_SHARE_SUBCOMMAND, as
// klikctl's commands do with KLIK_COMMAND, so none touches another's file.

#include <functional>
#include <string>
#include <vector>

#include "tools/Command.h"

namespace klik::tools {

struct ShareSubcommand {
    std::string name;                     // the word after "share", e.g. "link"
    std::string summary;                  // one line for `klikctl share --help`
    std::string usage;                    // full help for `klikctl share NAME --help`
    std::function<int(const Args&)> run;  // the words after the name
};

bool registerShareSubcommand(ShareSubcommand c);
const std::vector<ShareSubcommand>& shareSubcommands();

}  // namespace klik::tools

#define KLIK_SHARE_SUBCOMMAND(...)                                         \
    static const bool KLIK_CAT(klikShareSubcommandRegistered_, __LINE__) = \
        ::klik::tools::registerShareSubcommand(::klik::tools::ShareSubcommand{__VA_ARGS__})
