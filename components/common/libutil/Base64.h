#pragma once
// Base64 with the standard alphabet, as the codec's modes 2 and 3 write and read it.

#include "platform/base/Types.h"

#include <string>
#include <string_view>
#include <vector>

namespace LibUtil {

// Filled up with "=" to a multiple of four characters.
std::string base64_encode(std::string_view bytes);

// Reads up to a zero byte, an "=" or the end; skips characters outside the
// alphabet (blanks, line breaks) and drops a last group of a single character.
std::vector<BYTE> base64_decode(std::string_view text);

}
