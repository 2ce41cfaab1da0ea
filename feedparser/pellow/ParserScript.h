#pragma once
// The parser script inside the module, in codec mode 0 form (made at build time from RSSParser.js).

#include <cstddef>

namespace pellow {

extern const unsigned char parser_script[];
extern const std::size_t parser_script_size;

}
