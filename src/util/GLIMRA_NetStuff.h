#pragma once
// The machine's IPv4 interfaces and which of them is primary. The kiosk puts
// the primary interface's hardware address into its image file names.
//
// The service order is the kernel's routing preference: interfaces with a
// default route come first, lowest metric first; then the other interfaces
// with an IPv4 address, by their best route's metric, then by name.
// Loopback interfaces carry no network service and are never primary.
//
// Class operations only; no state. Any thread; every call reads the system
// afresh. Results are owned by the caller.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "util/NetSnapshot.h"

namespace klik {

class GLIMRA_NetStuff {
  public:
    GLIMRA_NetStuff() = delete;

    // The interface table of the live system: one dictionary per interface
    // name with an IPv4 address, plus "SERVICE_ID_ORDER" and
    // "INTERFACE_ORDER".
    static Dictionary activeInterfaces();
    // The same table built from a recorded snapshot.
    static Dictionary activeInterfacesFromSnapshot(const NetSnapshot& snap);

    // The entry of the first name in "INTERFACE_ORDER"; none when empty.
    static std::optional<Dictionary> primaryInterface();
    static std::optional<Dictionary> primaryInterfaceOf(const Dictionary& table);
    // "HARDWARE_ADDRESS" / "PF_INET_ADDRESS" of the primary interface.
    static std::optional<std::string> primaryHardwareAddress();
    static std::optional<std::string> primaryIPAddress();

    // The IPv4 address of `addr` as a dotted quad; none for null or for a
    // non-IPv4 address.
    static std::optional<std::string> stringForIPAddress(const sockaddr* addr);
    // "%lu.%lu.%lu.%lu", most significant byte first: 0x0A000007 -> 10.0.0.7.
    static std::string dottedQuadString(std::uint32_t hostOrderAddress);
};

}  // namespace klik
