#pragma once
// Whether this machine is on a network, as SensApi's IsNetworkAlive and
// WinINet's InternetGetConnectedState told the system: some interface other
// than the loopback one is up, has a carrier and holds an address.

#include "platform/base/Types.h"

#include <span>
#include <string>
#include <vector>

using LPDWORD = DWORD*;

inline constexpr DWORD NETWORK_ALIVE_LAN = 0x1;
inline constexpr DWORD NETWORK_ALIVE_WAN = 0x2;
inline constexpr DWORD INTERNET_CONNECTION_LAN = 0x2;

namespace plat {

// One entry of the interface list (getifaddrs): an interface may have several.
struct InterfaceAddress {
    std::string name;
    bool up = false;          // IFF_UP
    bool running = false;     // IFF_RUNNING: a carrier
    bool loopback = false;    // IFF_LOOPBACK
    std::string address;      // numeric IPv4 or IPv6 address; empty for a link-layer entry
};

std::vector<InterfaceAddress> interface_addresses();

// True when an entry is up, running, not the loopback and holds an IPv4
// address or an IPv6 one beyond the link (fe80::/10 comes without any network).
bool network_is_up(std::span<const InterfaceAddress> addresses);

}

// TRUE when the network is up; `flags` (may be null) gets NETWORK_ALIVE_LAN.
BOOL IsNetworkAlive(LPDWORD flags);
// TRUE when the network is up; `flags` (may be null) gets INTERNET_CONNECTION_LAN, or 0.
BOOL InternetGetConnectedState(LPDWORD flags, DWORD reserved);
