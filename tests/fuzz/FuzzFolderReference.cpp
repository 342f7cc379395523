// A folder reference record as stored in the settings (operators and
// installers may copy settings files between machines).
#include <cstdint>
#include <string>

#include "photo/MyAliasKit.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string resolved;
    std::optional<klik::Data> changed;
    (void)klik::MyAliasKit::resolveAliasFromData(klik::Data(data, data + size), resolved, &changed);
    return 0;
}
