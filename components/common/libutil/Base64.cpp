#include "Base64.h"

#include <array>

namespace LibUtil {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<int, 256> make_sextets()
{
    std::array<int, 256> table{};
    table.fill(-1);
    for (std::size_t i = 0; i < alphabet.size(); ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
    return table;
}

constexpr std::array<int, 256> sextets = make_sextets();

}

std::string base64_encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        std::uint32_t group = static_cast<BYTE>(bytes[i]) << 16 | static_cast<BYTE>(bytes[i + 1]) << 8 |
                              static_cast<BYTE>(bytes[i + 2]);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += alphabet[group >> shift & 0x3F];
    }
    std::size_t left = bytes.size() - i;
    if (left > 0) {
        std::uint32_t group = static_cast<BYTE>(bytes[i]) << 16;
        if (left == 2)
            group |= static_cast<BYTE>(bytes[i + 1]) << 8;
        out += alphabet[group >> 18 & 0x3F];
        out += alphabet[group >> 12 & 0x3F];
        out += left == 2 ? alphabet[group >> 6 & 0x3F] : '=';
        out += '=';
    }
    return out;
}

std::vector<BYTE> base64_decode(std::string_view text)
{
    std::vector<BYTE> out;
    out.reserve(text.size() / 4 * 3 + 2);
    std::uint32_t group = 0;
    int count = 0;
    for (char c : text) {
        if (c == '\0' || c == '=')
            break;
        int v = sextets[static_cast<unsigned char>(c)];
        if (v < 0)
            continue;
        group = group << 6 | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<BYTE>(group >> 16));
            out.push_back(static_cast<BYTE>(group >> 8));
            out.push_back(static_cast<BYTE>(group));
            group = 0;
            count = 0;
        }
    }
    if (count >= 2) {
        group <<= 6 * (4 - count);
        out.push_back(static_cast<BYTE>(group >> 16));
        if (count == 3)
            out.push_back(static_cast<BYTE>(group >> 8));
    }
    return out;
}

}
