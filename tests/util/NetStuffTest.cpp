#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if_arp.h>
#include <net/route.h>

#include "util/GLIMRA_NetStuff.h"

namespace klik {
namespace {

NetAddressEntry addr(const std::string& name, const char* ip, const char* mask,
                     const char* bcast = nullptr) {
    NetAddressEntry e;
    e.name = name;
    e.addressLength = 16;
    in_addr a{};
    inet_pton(AF_INET, ip, &a);
    e.address = ntohl(a.s_addr);
    inet_pton(AF_INET, mask, &a);
    e.netmask = ntohl(a.s_addr);
    if (bcast) {
        inet_pton(AF_INET, bcast, &a);
        e.broadcast = ntohl(a.s_addr);
    }
    return e;
}

NetSnapshot wifiAndEthernet(unsigned wifiMetric, unsigned ethMetric) {
    NetSnapshot s;
    s.addresses = {addr("lo", "127.0.0.1", "255.0.0.0"),
                   addr("eth0", "192.168.1.10", "255.255.255.0", "192.168.1.255"),
                   addr("wlan0", "10.0.0.7", "255.255.255.0", "10.0.0.255")};
    s.links["lo"] = NetLinkInfo{ARPHRD_LOOPBACK, false, true, "00:00:00:00:00:00"};
    s.links["eth0"] = NetLinkInfo{ARPHRD_ETHER, false, false, "00:11:22:33:44:55"};
    s.links["wlan0"] = NetLinkInfo{ARPHRD_ETHER, true, false, "66:77:88:99:aa:bb"};
    s.routes = {{"eth0", 0, 0, RTF_UP | RTF_GATEWAY, ethMetric},
                {"wlan0", 0, 0, RTF_UP | RTF_GATEWAY, wifiMetric},
                {"eth0", 0xC0A80100, 0xFFFFFF00, RTF_UP, 0}};
    return s;
}

TEST(NetStuff, DottedQuadSocketAddressAndTheKernelRouteTable) {
    EXPECT_EQ(GLIMRA_NetStuff::dottedQuadString(0x0A000007), "10.0.0.7");
    EXPECT_EQ(GLIMRA_NetStuff::dottedQuadString(0xFFFFFFFF), "255.255.255.255");
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_addr.s_addr = htonl(0xC0000202);
    EXPECT_EQ(GLIMRA_NetStuff::stringForIPAddress(reinterpret_cast<sockaddr*>(&in)), "192.0.2.2");
    EXPECT_EQ(GLIMRA_NetStuff::stringForIPAddress(nullptr), std::nullopt);
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    EXPECT_EQ(GLIMRA_NetStuff::stringForIPAddress(reinterpret_cast<sockaddr*>(&in6)), std::nullopt);
    const std::string text =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "garbage line\n";
    auto routes = parseProcNetRoute(text);
    ASSERT_EQ(routes.size(), 2u);
    EXPECT_EQ(routes[0].interface, "eth0");
    EXPECT_EQ(routes[0].destination, 0u);
    EXPECT_EQ(routes[0].metric, 100u);
    EXPECT_EQ(routes[0].flags, unsigned(RTF_UP | RTF_GATEWAY));
    EXPECT_EQ(routes[1].destination, 0xC0000200u);  // 192.0.2.0
    EXPECT_EQ(routes[1].mask, 0xFFFFFF00u);
}

TEST(NetStuff, TableKeysAndRoutingOrder) {
    // Wi-Fi ranked above Ethernet (lower metric): the Wi-Fi interface is primary.
    auto table = GLIMRA_NetStuff::activeInterfacesFromSnapshot(wifiAndEthernet(50, 100));
    const Dictionary& wlan = *table["wlan0"].dictionary();
    EXPECT_EQ(wlan.at("PF_INET_ADDRESS"), Value("10.0.0.7"));
    EXPECT_EQ(wlan.at("PF_INET_NETMASK"), Value("255.255.255.0"));
    EXPECT_EQ(wlan.at("PF_INET_BROADCAST"), Value("10.0.0.255"));
    EXPECT_EQ(wlan.at("INTERFACE_TYPE"), Value("IEEE80211"));
    EXPECT_EQ(wlan.at("BSD_NAME"), Value("wlan0"));
    EXPECT_EQ(table["eth0"]["INTERFACE_TYPE"], Value("Ethernet"));
    EXPECT_EQ(table["INTERFACE_ORDER"], Value(Array{Value("wlan0"), Value("eth0")}));
    EXPECT_EQ(table["SERVICE_ID_ORDER"].array()->size(), 2u);
    auto primary = GLIMRA_NetStuff::primaryInterfaceOf(table);
    ASSERT_TRUE(primary);
    EXPECT_EQ(primary->at("HARDWARE_ADDRESS"), Value("66:77:88:99:aa:bb"));
    // Loopback is in the table (it has IPv4) but carries no service, and its
    // all-zero address is not a hardware address.
    EXPECT_EQ(table["lo"]["NET_SERVICE_ID"], Value());
    EXPECT_EQ(table["lo"]["HARDWARE_ADDRESS"], Value());

    // Ethernet ranked first.
    table = GLIMRA_NetStuff::activeInterfacesFromSnapshot(wifiAndEthernet(600, 100));
    EXPECT_EQ(GLIMRA_NetStuff::primaryInterfaceOf(table)->at("BSD_NAME"), Value("eth0"));
}

TEST(NetStuff, OnlyLoopbackHasNoPrimaryBadLengthsAreSkippedUnroutedRanksLast) {
    NetSnapshot s;
    s.addresses = {addr("lo", "127.0.0.1", "255.0.0.0")};
    s.links["lo"] = NetLinkInfo{ARPHRD_LOOPBACK, false, true, ""};
    auto bad = addr("eth9", "10.1.1.1", "255.0.0.0");
    bad.addressLength = 12;
    s.addresses.push_back(bad);
    auto table = GLIMRA_NetStuff::activeInterfacesFromSnapshot(s);
    EXPECT_EQ(GLIMRA_NetStuff::primaryInterfaceOf(table), std::nullopt);
    EXPECT_EQ(table.count("eth9"), 0u);
    EXPECT_EQ(table["INTERFACE_ORDER"], Value(Array{}));

    // No IPv4 at all: only the two empty lists.
    table = GLIMRA_NetStuff::activeInterfacesFromSnapshot(NetSnapshot{});
    EXPECT_EQ(table.size(), 2u);

    // An interface without a default route ranks after the routed ones.
    s = wifiAndEthernet(50, 100);
    s.routes.erase(s.routes.begin() + 1);  // wlan0 loses its default route
    table = GLIMRA_NetStuff::activeInterfacesFromSnapshot(s);
    EXPECT_EQ(table["INTERFACE_ORDER"], Value(Array{Value("eth0"), Value("wlan0")}));
}

TEST(NetStuff, LiveSystemNeverPrimaryLoopback) {
    auto table = GLIMRA_NetStuff::activeInterfaces();
    ASSERT_NE(find(table, "INTERFACE_ORDER"), nullptr);
    auto primary = GLIMRA_NetStuff::primaryInterfaceOf(table);
    if (primary) {
        EXPECT_NE(primary->at("PF_INET_ADDRESS").stringOr().rfind("127.", 0), 0u);
    }
    if (table.count("lo")) {
        EXPECT_EQ(table["lo"]["PF_INET_ADDRESS"], Value("127.0.0.1"));
    }
}

}  // namespace
}  // namespace klik
