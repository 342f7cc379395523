#include "camera/sdk/RawFileNames.h"

#include <cctype>

namespace klik {

bool isRawFileName(const std::string& name) {
    static const char* const raw[] = {"cr2", "cr3", "crw", "nef", "nrw", "arw", "srf", "sr2",
                                      "dng", "raf", "orf", "rw2", "pef", "srw", "3fr", "iiq"};
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* r : raw)
        if (ext == r) return true;
    return false;
}

}  // namespace klik
