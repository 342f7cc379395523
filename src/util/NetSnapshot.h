#pragma once
// What the interface table is built from: the IPv4 address list, the
// per-interface facts of /sys/class/net and the kernel's routing table.
// Kept as plain data so the table can be built from a recorded machine in
// tests as well as from the live system.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace klik {

struct NetAddressEntry {
    std::string name;                        // interface name, e.g. "eth0"
    unsigned addressLength = 0;              // the socket address's byte length (16 for IPv4)
    std::uint32_t address = 0;               // host order
    std::uint32_t netmask = 0;               // host order
    std::optional<std::uint32_t> broadcast;  // broadcast or point-to-point peer, host order
};

struct NetLinkInfo {
    int arpType = -1;             // /sys/class/net/<if>/type (ARPHRD_*)
    bool wireless = false;        // /sys/class/net/<if>/wireless or phy80211 present
    bool loopback = false;        // IFF_LOOPBACK
    std::string hardwareAddress;  // "aa:bb:cc:dd:ee:ff", empty when none
};

struct NetRoute {
    std::string interface;
    std::uint32_t destination = 0;  // host order
    std::uint32_t mask = 0;
    unsigned flags = 0;  // RTF_*
    unsigned metric = 0;
};

struct NetSnapshot {
    std::vector<NetAddressEntry> addresses;    // in the order the system lists them
    std::map<std::string, NetLinkInfo> links;  // by interface name
    std::vector<NetRoute> routes;              // in table order
};

// Parses the text of /proc/net/route (header line first). Lines that do not
// parse are skipped.
std::vector<NetRoute> parseProcNetRoute(const std::string& text);

// Reads the live system: getifaddrs(3), /sys/class/net and /proc/net/route.
// Any thread; blocks briefly on the file system.
NetSnapshot readLiveNetSnapshot();

}  // namespace klik
