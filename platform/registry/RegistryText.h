#pragma once
// REG_SZ data and the text it holds, for every reader and writer of string values.

#include "platform/base/Types.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// The text of REG_SZ data: its UTF-16 units (little-endian) up to the first zero
// unit or the end of the data, whether or not the writer stored a terminator;
// an odd last byte is no unit.
std::u16string registry_text(std::span<const BYTE> data);

// REG_SZ data of the text, with the terminator Windows stores.
std::vector<BYTE> registry_text_data(std::u16string_view text);

}
