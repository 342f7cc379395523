// klik-webserver: see KioskWebServer.h.
#include <iostream>

#include "KioskWebServer.h"

int main(int argc, char** argv) {
    using namespace klik::webserver;
    std::string error;
    auto options = parseServerOptions({argv + 1, argv + argc}, &error);
    if (!options) {
        std::cerr << "klik-webserver: " << error << "\n" << kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << kUsage;
        return 0;
    }
    KioskWebServer server(*options);
    if (!server.bind()) return 1;
    // The first line tells a starting script where the pages are.
    std::cout << "klik-webserver: listening on " << server.baseAddress() << std::endl;
    return server.serve() ? 0 : 1;
}
