#include "NetworkState.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <memory>

namespace plat {

namespace {

std::string numeric_address(const sockaddr* address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address == nullptr) return {};
    if (address->sa_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(address);
        return ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text) ? text : "";
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        return ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) ? text : "";
    }
    return {};
}

bool reaches_beyond_link(const std::string& address)
{
    if (address.empty()) return false;
    if (address.find(':') == std::string::npos) return true;   // IPv4
    in6_addr v6{};
    if (::inet_pton(AF_INET6, address.c_str(), &v6) != 1) return false;
    return !(v6.s6_addr[0] == 0xfe && (v6.s6_addr[1] & 0xc0) == 0x80);
}

}

std::vector<InterfaceAddress> interface_addresses()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return {};
    const std::unique_ptr<ifaddrs, decltype(&::freeifaddrs)> owned(list, &::freeifaddrs);
    std::vector<InterfaceAddress> addresses;
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        addresses.push_back({entry->ifa_name ? entry->ifa_name : "", (entry->ifa_flags & IFF_UP) != 0,
                             (entry->ifa_flags & IFF_RUNNING) != 0, (entry->ifa_flags & IFF_LOOPBACK) != 0,
                             numeric_address(entry->ifa_addr)});
    }
    return addresses;
}

bool network_is_up(std::span<const InterfaceAddress> addresses)
{
    return std::any_of(addresses.begin(), addresses.end(), [](const InterfaceAddress& a) {
        return a.up && a.running && !a.loopback && reaches_beyond_link(a.address);
    });
}

}

BOOL IsNetworkAlive(LPDWORD flags)
{
    const bool up = plat::network_is_up(plat::interface_addresses());
    if (flags != nullptr && up) *flags = NETWORK_ALIVE_LAN;
    return up ? TRUE : FALSE;
}

BOOL InternetGetConnectedState(LPDWORD flags, DWORD)
{
    const bool up = plat::network_is_up(plat::interface_addresses());
    if (flags != nullptr) *flags = up ? INTERNET_CONNECTION_LAN : 0;
    return up ? TRUE : FALSE;
}
