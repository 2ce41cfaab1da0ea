#pragma once
// The program module's resources: bytes the program embeds under a name and a
// type ("WAVE"), found as FindResourceW finds them (names compared without case).

#include <optional>
#include <string>
#include <string_view>

namespace plat {

// Adds or replaces a resource; the program registers its embedded ones at start.
void add_resource(std::u16string_view name, std::u16string_view type, std::string bytes);
// A copy of the resource's bytes, or nothing when the module has none by that name and type.
std::optional<std::string> find_resource(std::u16string_view name, std::u16string_view type);

}
