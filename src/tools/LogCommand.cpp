// klikctl log: writes one message into the kiosk's log file, the way the
// kiosk does (rolling a large file first), so operators and scripts can
// mark events in the same log.

#include <iostream>

#include "log/Log.h"
#include "log/LogPaths.h"
#include "tools/Command.h"

namespace klik::tools {

namespace {

const Command& logCommand();

int runLog(const Args& args) {
    std::string file;
    std::string message;
    bool haveMessage = false;
    bool optionsDone = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsDone && a == "--") {
            optionsDone = true;
            continue;
        }
        if (!optionsDone && a == "--file") {
            if (i + 1 >= args.size() || args[i + 1].empty())
                return usageError(logCommand(), "--file needs a path");
            file = args[++i];
            continue;
        }
        if (!optionsDone && a.size() > 1 && a[0] == '-')
            return usageError(logCommand(), "unknown option " + a);
        if (haveMessage) message += ' ';
        message += a;
        haveMessage = true;
    }
    if (!haveMessage) return usageError(logCommand(), "no message given");

    const std::string path = file.empty() ? defaultLogFilePath() : file;
    // The tool's own standard error stays on the terminal, so errors reach
    // the operator.
    GLIMRA_Log::setRedirectsStdErr(false);
    if (!GLIMRA_Log::setLogFile(path)) {
        std::cerr << "klikctl log: " << GLIMRA_Log::lastOpenError() << "\n";
        return 1;
    }
    GLIMRA_Log::debug(message);
    return 0;
}

const Command& logCommand() {
    static const Command c{
        "log", "write a message into the kiosk's log file",
        "usage: klikctl log [--file PATH] [--] MESSAGE...\n\n"
        "Writes MESSAGE (the words joined by spaces; line breaks give one log line\n"
        "each) into the log file as a \"D\" line. A file of 1 MiB or more is rolled\n"
        "into its _old companion first. PATH defaults to the kiosk's log:\n"
        "$XDG_STATE_HOME/klik/Klik_Kiosk.log (~/.local/state/klik/), or\n"
        "/Library/Logs/Klik/Klik_Kiosk.log under --root / KLIK_ROOT.",
        runLog};
    return c;
}

}  // namespace

KLIK_COMMAND(logCommand());

}  // namespace klik::tools
