// What a host sends the test camera on its command connection: packet
// framing, the init handshake, operations and their data phases.
#include <cstdint>
#include <memory>

#include "testing/ptpip/FakePictures.h"
#include "ptpip/PtpIpCommandChannel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    klik::ptp::PtpCamera camera({}, std::make_shared<klik::ptp::test::FakePictures>(3000));
    (void)klik::ptp::runCommandStream(camera, data, size);
    return 0;
}
