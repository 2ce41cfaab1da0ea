#include "Guid.h"

#include <cstdio>
#include <cstring>

namespace plat {

std::string format_guid(const GUID& g)
{
    char text[39];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2,
                  g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                  g.Data4[7]);
    return text;
}

std::u16string format_guid_utf16(const GUID& g)
{
    std::string narrow = format_guid(g);
    return {narrow.begin(), narrow.end()};
}

std::size_t GuidHash::operator()(const GUID& g) const noexcept
{
    std::uint64_t halves[2];
    std::memcpy(halves, &g, sizeof halves);
    return static_cast<std::size_t>(halves[0] * 0x9E3779B97F4A7C15ull ^ halves[1]);
}

}
