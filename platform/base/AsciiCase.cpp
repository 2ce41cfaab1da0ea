#include "platform/base/AsciiCase.h"

#include <algorithm>

namespace plat {
namespace {

// Not std::tolower: a locale must not make other bytes equal.
char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool same_letter(char a, char b)
{
    return ascii_lower(a) == ascii_lower(b);
}

}  // namespace

bool equals_nocase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), same_letter);
}

bool starts_with_nocase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && equals_nocase(text.substr(0, prefix.size()), prefix);
}

}
