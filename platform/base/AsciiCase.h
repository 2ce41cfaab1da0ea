#pragma once
// Texts compared without the case of ASCII letters, as URL schemes, header
// names, tag names and charset names are; every other byte compares exactly.

#include <string_view>

namespace plat {

bool equals_nocase(std::string_view a, std::string_view b);
bool starts_with_nocase(std::string_view text, std::string_view prefix);

}
