#include "util/GLIMRA_NetStuff.h"

#include <arpa/inet.h>
#include <net/if_arp.h>
#include <net/route.h>

#include <algorithm>
#include <limits>

#include "log/Log.h"

namespace klik {

namespace {

constexpr unsigned kIPv4AddressLength = 16;

struct LinkNames {
    std::string type;
    std::string display;
};

LinkNames namesFor(const NetLinkInfo& link) {
    if (link.loopback || link.arpType == ARPHRD_LOOPBACK) return {"Loopback", "Loopback"};
    if (link.wireless) return {"IEEE80211", "Wi-Fi"};
    switch (link.arpType) {
        case ARPHRD_ETHER:
            return {"Ethernet", "Ethernet"};
        case ARPHRD_PPP:
            return {"PPP", "PPP"};
        case ARPHRD_INFINIBAND:
            return {"InfiniBand", "InfiniBand"};
        case ARPHRD_NONE:
            return {"Tunnel", "Tunnel"};
        case ARPHRD_TUNNEL:
        case ARPHRD_TUNNEL6:
        case ARPHRD_SIT:
        case ARPHRD_IPGRE:
            return {"Tunnel", "Tunnel"};
        case ARPHRD_IEEE1394:
            return {"FireWire", "FireWire"};
        default:
            return {};
    }
}

bool isUsableHardwareAddress(const std::string& hw) {
    if (hw.empty()) return false;
    return std::any_of(hw.begin(), hw.end(), [](char c) { return c != '0' && c != ':'; });
}

}  // namespace

std::string GLIMRA_NetStuff::dottedQuadString(std::uint32_t a) {
    return stringWithFormat("%lu.%lu.%lu.%lu", static_cast<unsigned long>((a >> 24) & 0xff),
                            static_cast<unsigned long>((a >> 16) & 0xff),
                            static_cast<unsigned long>((a >> 8) & 0xff),
                            static_cast<unsigned long>(a & 0xff));
}

std::optional<std::string> GLIMRA_NetStuff::stringForIPAddress(const sockaddr* addr) {
    if (addr == nullptr || addr->sa_family != AF_INET) return std::nullopt;
    const auto* in = reinterpret_cast<const sockaddr_in*>(addr);
    return dottedQuadString(ntohl(in->sin_addr.s_addr));
}

Dictionary GLIMRA_NetStuff::activeInterfacesFromSnapshot(const NetSnapshot& snap) {
    Dictionary table;
    // 1. IPv4 addresses; the last address listed for an interface wins.
    for (const auto& e : snap.addresses) {
        if (e.addressLength != kIPv4AddressLength) {
            GLIMRA_Log::debug(stringWithFormat("bad length for IP address: is %u, should be %u",
                                               e.addressLength, kIPv4AddressLength));
            continue;
        }
        Dictionary d;
        d["BSD_NAME"] = e.name;
        d["PF_INET_ADDRESS"] = dottedQuadString(e.address);
        d["PF_INET_NETMASK"] = dottedQuadString(e.netmask);
        if (e.broadcast) d["PF_INET_BROADCAST"] = dottedQuadString(*e.broadcast);
        table[e.name] = std::move(d);
    }

    // 2. Link facts.
    for (auto& [name, v] : table) {
        auto it = snap.links.find(name);
        if (it == snap.links.end()) continue;
        Dictionary& d = *v.dictionary();
        const LinkNames n = namesFor(it->second);
        if (!n.type.empty()) d["INTERFACE_TYPE"] = n.type;
        if (!n.display.empty()) d["DISPLAY_NAME"] = n.display;
        if (isUsableHardwareAddress(it->second.hardwareAddress))
            d["HARDWARE_ADDRESS"] = it->second.hardwareAddress;
    }

    // 3. Services: every non-loopback interface with an IPv4 address; its
    // rank is (has a default route ? 0 : 1, best metric, name).
    struct Service {
        std::string id;
        std::string bsdName;
        bool hasDefault = false;
        unsigned metric = std::numeric_limits<unsigned>::max();
    };
    std::vector<Service> services;
    for (auto& [name, v] : table) {
        auto it = snap.links.find(name);
        const bool loop = it != snap.links.end() &&
                          (it->second.loopback || it->second.arpType == ARPHRD_LOOPBACK);
        if (loop) continue;
        Service s;
        s.bsdName = name;
        s.id = "linux-net-" + name;
        for (const auto& r : snap.routes) {
            if (r.interface != name || (r.flags & RTF_UP) == 0) continue;
            const bool isDefault = r.destination == 0 && r.mask == 0;
            if (isDefault && (!s.hasDefault || r.metric < s.metric)) {
                s.hasDefault = true;
                s.metric = r.metric;
            } else if (!s.hasDefault && r.metric < s.metric) {
                s.metric = r.metric;
            }
        }
        Dictionary& d = *v.dictionary();
        const auto display = d.find("DISPLAY_NAME");
        d["NET_SERVICE_NAME"] =
            (display != d.end() ? display->second.stringOr() + " (" + name + ")" : name);
        d["NET_SERVICE_ID"] = s.id;
        services.push_back(std::move(s));
    }

    // 4. Order.
    std::sort(services.begin(), services.end(), [](const Service& a, const Service& b) {
        if (a.hasDefault != b.hasDefault) return a.hasDefault;
        if (a.metric != b.metric) return a.metric < b.metric;
        return a.bsdName < b.bsdName;
    });

    // 5./6. The two ordering lists.
    Array serviceOrder, interfaceOrder;
    for (const auto& s : services) {
        serviceOrder.emplace_back(s.id);
        interfaceOrder.emplace_back(s.bsdName);
    }
    table["SERVICE_ID_ORDER"] = std::move(serviceOrder);
    table["INTERFACE_ORDER"] = std::move(interfaceOrder);
    return table;
}

Dictionary GLIMRA_NetStuff::activeInterfaces() {
    return activeInterfacesFromSnapshot(readLiveNetSnapshot());
}

std::optional<Dictionary> GLIMRA_NetStuff::primaryInterfaceOf(const Dictionary& table) {
    const Value* order = find(table, "INTERFACE_ORDER");
    if (order == nullptr || order->array() == nullptr || order->array()->empty())
        return std::nullopt;
    const std::string* first = order->array()->front().string();
    if (first == nullptr) return std::nullopt;
    const Value* entry = find(table, *first);
    if (entry == nullptr || entry->dictionary() == nullptr) return std::nullopt;
    return *entry->dictionary();
}

std::optional<Dictionary> GLIMRA_NetStuff::primaryInterface() {
    return primaryInterfaceOf(activeInterfaces());
}

std::optional<std::string> GLIMRA_NetStuff::primaryHardwareAddress() {
    auto p = primaryInterface();
    if (!p) return std::nullopt;
    return findString(*p, "HARDWARE_ADDRESS");
}

std::optional<std::string> GLIMRA_NetStuff::primaryIPAddress() {
    auto p = primaryInterface();
    if (!p) return std::nullopt;
    return findString(*p, "PF_INET_ADDRESS");
}

}  // namespace klik
