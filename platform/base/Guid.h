#pragma once
// GUIDs with the Windows layout, parsed from and formatted as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".

#include "Types.h"

#include <optional>
#include <string>
#include <string_view>

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];

    friend constexpr bool operator==(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
            return false;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return false;
        return true;
    }
    friend constexpr bool operator<(const GUID& a, const GUID& b)
    {
        if (a.Data1 != b.Data1) return a.Data1 < b.Data1;
        if (a.Data2 != b.Data2) return a.Data2 < b.Data2;
        if (a.Data3 != b.Data3) return a.Data3 < b.Data3;
        for (int i = 0; i < 8; ++i)
            if (a.Data4[i] != b.Data4[i])
                return a.Data4[i] < b.Data4[i];
        return false;
    }
};
static_assert(sizeof(GUID) == 16);

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline constexpr GUID GUID_NULL{};

namespace plat {

namespace detail {
constexpr int hex_value(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
constexpr bool read_hex(std::string_view s, std::size_t at, std::size_t digits, std::uint32_t& out)
{
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
        int v = hex_value(s[at + i]);
        if (v < 0) return false;
        out = out << 4 | static_cast<std::uint32_t>(v);
    }
    return true;
}
}

// Accepts the braced form, and the bare 36-character form as registry keys may hold it.
constexpr std::optional<GUID> parse_guid(std::string_view text)
{
    if (text.size() == 38) {
        if (text.front() != '{' || text.back() != '}') return std::nullopt;
        text = text.substr(1, 36);
    }
    if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
        return std::nullopt;
    GUID g{};
    std::uint32_t v = 0;
    if (!detail::read_hex(text, 0, 8, v)) return std::nullopt;
    g.Data1 = v;
    if (!detail::read_hex(text, 9, 4, v)) return std::nullopt;
    g.Data2 = static_cast<WORD>(v);
    if (!detail::read_hex(text, 14, 4, v)) return std::nullopt;
    g.Data3 = static_cast<WORD>(v);
    constexpr std::size_t byte_at[8] = {19, 21, 24, 26, 28, 30, 32, 34};
    for (int i = 0; i < 8; ++i) {
        if (!detail::read_hex(text, byte_at[i], 2, v)) return std::nullopt;
        g.Data4[i] = static_cast<BYTE>(v);
    }
    return g;
}

// For constants written in the source: a malformed literal fails to compile.
consteval GUID make_guid(std::string_view text)
{
    auto g = parse_guid(text);
    if (!g) throw "malformed GUID literal";
    return *g;
}

// Upper-case braced form, as StringFromGUID2 writes it.
std::string format_guid(const GUID& g);
std::u16string format_guid_utf16(const GUID& g);

struct GuidHash {
    std::size_t operator()(const GUID& g) const noexcept;
};

}
