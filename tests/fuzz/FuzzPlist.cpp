// Settings files, factory defaults, payloads and folder references all come
// through this reader.
#include <cstdint>
#include <string>

#include "foundation/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    klik::PlistResult r =
        klik::plistFromBytes(std::string(reinterpret_cast<const char*>(data), size));
    if (r.value) (void)klik::plistToXml(*r.value);
    return 0;
}
