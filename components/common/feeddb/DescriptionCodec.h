#pragma once
// The stored form of an item's description: the text codec's mode 2 (a zlib
// stream whose two header bytes are not read back, in Base64).

#include <optional>
#include <string>
#include <string_view>

namespace feeddb {

std::optional<std::string> encode_description(std::string_view text);
// Nothing when the stored text does not inflate.
std::optional<std::string> decode_description(std::string_view stored);

}
