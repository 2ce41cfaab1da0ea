#include "platform/net/NetworkState.h"

#include <gtest/gtest.h>

using plat::InterfaceAddress;

TEST(NetworkState, UpOnlyWithAnInterfaceBeyondTheLoopbackThatHoldsAnAddress)
{
    const InterfaceAddress lo{"lo", true, true, true, "127.0.0.1"};
    const InterfaceAddress lo6{"lo", true, true, true, "::1"};
    const InterfaceAddress eth_link{"eth0", true, true, false, ""};
    const InterfaceAddress eth_v4{"eth0", true, true, false, "192.168.1.20"};
    const InterfaceAddress eth_local6{"eth0", true, true, false, "fe80::1c2:3ff:fe04:506"};
    const InterfaceAddress eth_v6{"eth0", true, true, false, "2001:db8::20"};
    const InterfaceAddress down_v4{"wlan0", false, false, false, "10.0.0.5"};
    const InterfaceAddress no_carrier{"eth1", true, false, false, "10.0.0.6"};

    const struct {
        const char* what;
        std::vector<InterfaceAddress> list;
        bool up;
    } cases[] = {
        {"nothing", {}, false},
        {"loopback only", {lo, lo6}, false},
        {"a link without an address", {lo, eth_link}, false},
        {"IPv4 address", {lo, eth_link, eth_v4}, true},
        {"link-local IPv6 only", {lo, eth_link, eth_local6}, false},
        {"global IPv6", {lo, eth_local6, eth_v6}, true},
        {"interface down", {lo, down_v4}, false},
        {"cable out", {lo, no_carrier}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(plat::network_is_up(c.list), c.up);
    }
}

// The calls answer from this machine's interfaces, the same way both.
TEST(NetworkState, CallsAgreeWithTheInterfaceList)
{
    const bool up = plat::network_is_up(plat::interface_addresses());
    DWORD alive = 0, connected = 77;
    EXPECT_EQ(IsNetworkAlive(&alive), up ? TRUE : FALSE);
    EXPECT_EQ(InternetGetConnectedState(&connected, 0), up ? TRUE : FALSE);
    EXPECT_EQ(alive, up ? NETWORK_ALIVE_LAN : 0u);
    EXPECT_EQ(connected, up ? INTERNET_CONNECTION_LAN : 0u);
    EXPECT_EQ(IsNetworkAlive(nullptr), up ? TRUE : FALSE);
    const auto all = plat::interface_addresses();
    EXPECT_TRUE(std::any_of(all.begin(), all.end(), [](const InterfaceAddress& a) { return a.loopback; }));
}
