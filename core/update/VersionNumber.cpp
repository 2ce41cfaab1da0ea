#include "core/update/VersionNumber.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

// Each part 1 to 9 digits, so every part fits and "010" reads as 10.
constexpr std::size_t max_digits = 9;
constexpr std::size_t max_parts = 8;

std::optional<std::vector<std::uint32_t>> parse(std::string_view text)
{
    std::vector<std::uint32_t> parts;
    std::size_t at = 0;
    for (;;) {
        const std::size_t dot = std::min(text.find('.', at), text.size());
        const std::string_view part = text.substr(at, dot - at);
        if (part.empty() || part.size() > max_digits || parts.size() == max_parts ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        std::uint32_t value = 0;
        for (const char c : part)
            value = value * 10 + static_cast<std::uint32_t>(c - '0');
        parts.push_back(value);
        if (dot == text.size())
            return parts;
        at = dot + 1;
    }
}

}

bool is_newer_version(std::string_view offered, std::string_view running)
{
    const auto a = parse(offered);
    const auto b = parse(running);
    if (!a || !b)
        return false;
    const std::size_t length = std::max(a->size(), b->size());
    for (std::size_t i = 0; i < length; ++i) {
        const std::uint32_t x = i < a->size() ? (*a)[i] : 0;
        const std::uint32_t y = i < b->size() ? (*b)[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}
