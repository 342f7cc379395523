// The kiosk web page's answers: the XML reader, the sitting document turned
// into the guest's data, the MIME check and the escaping of messages.
#include <cstdint>
#include <string>
#include <string_view>

#include "web/KioskWebProtocol.h"
#include "web/XMLReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    std::string error;
    (void)klik::XMLReader::dictionaryForXMLData(body, &error);
    (void)klik::sittingInformation(body, "http://127.0.0.1:8080/sitting");
    (void)klik::isSittingMimeType(body);
    (void)klik::escapeForAddress(body);
    return 0;
}
