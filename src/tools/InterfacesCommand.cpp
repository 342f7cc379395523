// klikctl interfaces: the network interface table the kiosk reads its
// station mark from.

#include <iostream>

#include "foundation/PropertyList.h"
#include "tools/Command.h"
#include "util/GLIMRA_NetStuff.h"

namespace klik::tools {
namespace {

const char* kUsage =
    "usage: klikctl interfaces\n"
    "\n"
    "Prints the IPv4 interface table as an XML property list: one dictionary per\n"
    "interface plus SERVICE_ID_ORDER and INTERFACE_ORDER (routing order, lowest\n"
    "default-route metric first). The first entry of INTERFACE_ORDER is primary.";

const Command& self();

int run(const Args& a) {
    if (!a.empty()) return usageError(self(), "takes no arguments");
    std::cout << plistToXml(Value(GLIMRA_NetStuff::activeInterfaces()));
    return 0;
}

const Command& self() {
    static const Command c{"interfaces", "print the network interface table", kUsage, run};
    return c;
}

KLIK_COMMAND(self());

}  // namespace
}  // namespace klik::tools
