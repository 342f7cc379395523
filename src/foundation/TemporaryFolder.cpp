#include "foundation/TemporaryFolder.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <vector>

#include "foundation/Diagnostics.h"
#include "foundation/StandardPlaces.h"

namespace klik {

namespace {

std::mutex gMutex;
std::string gFolder;
pid_t gOwner = 0;

void removeAtExit() {
    // A forked child that exits must not take its parent's files along.
    if (gFolder.empty() || getpid() != gOwner) return;
    std::error_code ec;
    std::filesystem::remove_all(gFolder, ec);
}

}  // namespace

std::string temporaryFolder() {
    std::lock_guard lock(gMutex);
    if (!gFolder.empty() && gOwner == getpid()) return gFolder;
    const std::string base = temporaryBase(PlaceEnvironment::fromProcess());
    std::string pattern = base + "/klik-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) {
        diagnostic("Cannot make a temporary folder in " + base + ": " + std::strerror(errno));
        return {};
    }
    const bool first = gOwner == 0;
    gFolder = buf.data();
    gOwner = getpid();
    if (first) std::atexit(removeAtExit);
    return gFolder;
}

}  // namespace klik
