#include "util/NetSnapshot.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

namespace klik {

namespace {

std::string readSmallFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) return {};
    std::stringstream ss;
    ss << in.rdbuf();
    std::string s = ss.str();
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
    return s;
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool parseHex32(const std::string& s, std::uint32_t& out) {
    if (s.empty() || s.size() > 8) return false;
    char* end = nullptr;
    unsigned long v = std::strtoul(s.c_str(), &end, 16);
    if (*end != '\0') return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

std::vector<NetRoute> parseProcNetRoute(const std::string& text) {
    std::vector<NetRoute> routes;
    std::istringstream in(text);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (header) {
            header = false;
            continue;
        }
        std::istringstream ls(line);
        std::string iface, dest, gw, flags, refcnt, use, metric, mask;
        if (!(ls >> iface >> dest >> gw >> flags >> refcnt >> use >> metric >> mask)) continue;
        NetRoute r;
        r.interface = iface;
        std::uint32_t d = 0, m = 0, f = 0;
        if (!parseHex32(dest, d) || !parseHex32(mask, m) || !parseHex32(flags, f)) continue;
        // The kernel prints the addresses as the hexadecimal of the raw
        // network-order word, which on a little-endian machine reads
        // backwards; ntohl of the raw word gives host order everywhere.
        r.destination = ntohl(d);
        r.mask = ntohl(m);
        r.flags = f;
        char* end = nullptr;
        unsigned long met = std::strtoul(metric.c_str(), &end, 10);
        if (*end != '\0') continue;
        r.metric = static_cast<unsigned>(met);
        routes.push_back(r);
    }
    return routes;
}

NetSnapshot readLiveNetSnapshot() {
    NetSnapshot snap;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) == 0) {
        for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
            if (a->ifa_addr == nullptr || a->ifa_netmask == nullptr) continue;
            if (a->ifa_addr->sa_family != AF_INET) continue;
            NetAddressEntry e;
            e.name = a->ifa_name ? a->ifa_name : "";
            // Linux's sockaddr carries no length byte; an AF_INET entry is a
            // sockaddr_in by definition.
            e.addressLength = sizeof(sockaddr_in);
            e.address = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr);
            e.netmask =
                ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr.s_addr);
            const sockaddr* peer = nullptr;
            if (a->ifa_flags & IFF_BROADCAST)
                peer = a->ifa_broadaddr;
            else if (a->ifa_flags & IFF_POINTOPOINT)
                peer = a->ifa_dstaddr;
            if (peer != nullptr && peer->sa_family == AF_INET)
                e.broadcast = ntohl(reinterpret_cast<const sockaddr_in*>(peer)->sin_addr.s_addr);
            snap.addresses.push_back(e);
            NetLinkInfo& link = snap.links[e.name];
            link.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        }
        ::freeifaddrs(list);
    }
    for (auto& [name, link] : snap.links) {
        const std::string base = "/sys/class/net/" + name;
        const std::string type = readSmallFile(base + "/type");
        if (!type.empty()) link.arpType = std::atoi(type.c_str());
        link.wireless = exists(base + "/wireless") || exists(base + "/phy80211");
        link.hardwareAddress = readSmallFile(base + "/address");
    }
    snap.routes = parseProcNetRoute(readSmallFile("/proc/net/route") + "\n");
    return snap;
}

}  // namespace klik
