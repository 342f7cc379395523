// klikctl folders check: are the kiosk's folders reachable?

#include <iostream>

#include "foundation/Settings.h"
#include "photo/ImageFolders.h"
#include "photo/UploadBacklog.h"
#include "tools/Command.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl folders check\n"
    "\n"
    "Validates the main images, upload and (when saving to it is on) slideshow\n"
    "folders of the current settings, as the kiosk does before filing a photo:\n"
    "a missing folder is looked for through its stored folder reference (which may\n"
    "mount its volume). Prints one line per folder, then the upload copies still\n"
    "owed (filed photos whose copy into the upload folder failed; the kiosk makes\n"
    "them once the upload folder can be written). Exit status 1 when any folder\n"
    "is invalid.";

const Command& self();

int run(const Args& a) {
    if (a.size() != 1 || a[0] != "check") return usageError(self(), "expected 'check'");
    Settings& s = Settings::standard();
    initFolderGlobalsAtLaunch(s);
    const bool ok = validateAllFolders(s);
    std::cout << "scratch        " << _gScratchFolder() << "\n";
    for (auto [label, param] : {std::pair{"main images   ", mainImagesFolderParam()},
                                std::pair{"upload        ", forUploadFolderParam()},
                                std::pair{"slideshow     ", slideShowFolderParam()}}) {
        const std::string key = param["prefFolderNameKey"].stringOr();
        const std::string valid = param["prefFolderNameIsValidKey"].stringOr();
        std::cout << label << s.stringForKey(key).value_or("(not set)") << "  "
                  << (s.boolForKey(valid) ? "valid" : "INVALID") << "\n";
    }
    std::cout << (ok ? "all needed folders valid" : "One or More Folders Missing") << "\n";
    const UploadBacklog backlog(s.path());
    const auto owed = backlog.entries();
    std::cout << "upload backlog " << owed.size() << " upload cop"
              << (owed.size() == 1 ? "y" : "ies") << " owed";
    if (!owed.empty()) std::cout << " (" << backlog.path() << ")";
    std::cout << "\n";
    for (const auto& d : owed)
        std::cout << "  since " << d.since << "  " << d.source << " -> " << d.relative << "\n";
    return ok ? 0 : 1;
}

const Command& self() {
    static const Command c{"folders", "check the kiosk's folders", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
