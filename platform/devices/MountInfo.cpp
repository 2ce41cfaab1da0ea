#include "MountInfo.h"

#include <charconv>

namespace plat {

namespace {

std::vector<std::string_view> split_fields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t at = 0;
    while (at < line.size()) {
        const std::size_t end = line.find(' ', at);
        const std::size_t stop = end == std::string_view::npos ? line.size() : end;
        if (stop > at) fields.push_back(line.substr(at, stop - at));
        at = stop + 1;
    }
    return fields;
}

bool is_octal(char c)
{
    return c >= '0' && c <= '7';
}

// The kernel writes blanks, tabs, newlines and backslashes in names as \ooo.
std::string unescape(std::string_view field)
{
    std::string text;
    text.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        const bool escape = field[i] == '\\' && i + 3 < field.size() && is_octal(field[i + 1]) &&
                            is_octal(field[i + 2]) && is_octal(field[i + 3]);
        if (escape) {
            text.push_back(static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0')));
            i += 3;
        } else {
            text.push_back(field[i]);
        }
    }
    return text;
}

bool parse_device(std::string_view field, unsigned& major, unsigned& minor)
{
    const std::size_t colon = field.find(':');
    if (colon == std::string_view::npos) return false;
    const char* end = field.data() + field.size();
    const auto [p1, e1] = std::from_chars(field.data(), field.data() + colon, major);
    const auto [p2, e2] = std::from_chars(field.data() + colon + 1, end, minor);
    return e1 == std::errc() && p1 == field.data() + colon && e2 == std::errc() && p2 == end;
}

}

std::vector<MountEntry> parse_mountinfo(std::string_view text)
{
    std::vector<MountEntry> mounts;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        const std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
        at = end == std::string_view::npos ? text.size() : end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const std::vector<std::string_view> f = split_fields(line);
        std::size_t dash = 6;
        while (dash < f.size() && f[dash] != "-") ++dash;
        if (f.size() < 6 || dash + 2 >= f.size()) continue;
        MountEntry m;
        if (!parse_device(f[2], m.major, m.minor)) continue;
        m.root = unescape(f[3]);
        m.mount_point = unescape(f[4]);
        m.fs_type = unescape(f[dash + 1]);
        m.source = unescape(f[dash + 2]);
        mounts.push_back(std::move(m));
    }
    return mounts;
}

}
