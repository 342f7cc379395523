#include "camera/gphoto2/GPhotoBackend.h"

#include "camera/gphoto2/GPhotoCamSDK.h"

namespace klik {

std::shared_ptr<CamSDK> makeGPhotoSDK(const std::string& port, std::string& error) {
    GPhotoOptions options;
    if (port.empty() || port.rfind("usb:", 0) == 0) return std::make_shared<GPhotoCamSDK>(options);
    std::string address = port;
    if (address.rfind("ptpip:", 0) == 0) {
        address = address.substr(6);
        // "HOST:PORT:PORT" (command and event port): the first one serves.
        const size_t first = address.find(':');
        const size_t second = first == std::string::npos ? first : address.find(':', first + 1);
        if (second != std::string::npos) address = address.substr(0, second);
    }
    if (GPhotoCamSDK::ptpipPort(address).empty()) {
        error =
            "--port wants a PTP/IP address HOST:PORT (numeric IPv4), ptpip:HOST:PORT or a "
            "usb: port, not \"" +
            port + "\"";
        return nullptr;
    }
    options.usb = false;
    options.ptpipAddresses.push_back(address);
    return std::make_shared<GPhotoCamSDK>(options);
}

}  // namespace klik
