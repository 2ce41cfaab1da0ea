#pragma once
// The small text encoders the main program, the feed parser and the prefetch
// manager share: UTF-16 and UTF-8, charset conversion, URL encoding, MD5.

#include "platform/base/Types.h"

#include <string>
#include <string_view>

namespace LibUtil {

class ByteBuffer;

// UTF-16 (zero-terminated) to UTF-8 and back, by plat::Utf8Rules::SurrogatesKept:
// a surrogate pair becomes one four-byte sequence, a lone surrogate its own
// three-byte sequence, so every text written here reads back unchanged. Reading
// takes surrogate pairs in either form; bytes that form no character (a byte that
// cannot start a sequence, a sequence cut short, an overlong or five-byte form)
// are skipped. False on a null text.
bool WideToUtf8(const WCHAR* text, std::string& out);
bool Utf8ToWide(const char* text, std::u16string& out);

// iconv from one named set to another. False when a set is missing or cannot
// be opened, and when the text is not valid in the from-set.
bool ConvertCharset(std::string_view text, const char* to_set, const char* from_set, std::string& out);

// Letters and digits stay, white space becomes "+", every other byte "%XX".
// With both sets given the text is first converted from one to the other.
bool UrlEncode(std::string_view text, std::string& out, const char* to_set = nullptr,
               const char* from_set = nullptr);

// The MD5 digest as 32 upper-case hexadecimal digits; empty for a buffer that holds no data.
std::string MD5HexString(const ByteBuffer& buffer);

}
