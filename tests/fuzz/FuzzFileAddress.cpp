// File addresses ("file://...") and paths as settings and the web page give them.
#include <cstdint>
#include <string>

#include "photo/FileOps.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string s(reinterpret_cast<const char*>(data), size);
    (void)klik::pathOfFileUrl(s);
    (void)klik::pathOfUrlOrPath(s);
    return 0;
}
