#pragma once
// Our table from the face names the skin asks for to the fonts this system
// ships (fontconfig family names). Private to platform/d3d9.

#include <string>
#include <string_view>

namespace plat {

// The family to ask fontconfig for; an unknown face is asked for as named.
std::string fontconfig_family(std::u16string_view face);

}
