#pragma once
// UTF-8 and UTF-16 conversion. The ANSI code page of the system's 8-bit
// Windows texts is UTF-8 here, so CP_ACP and CP_UTF8 convert alike.

#include "Types.h"

#include <string>
#include <string_view>

namespace plat {

// Malformed input (bad UTF-8 bytes, lone surrogates) becomes U+FFFD; nothing is dropped silently.
std::u16string utf8_to_utf16(std::string_view text);
std::string utf16_to_utf8(std::u16string_view text);

// Length of a zero-terminated UTF-16 text.
std::size_t wide_length(const WCHAR* text);

}

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

// Windows semantics: a source length of -1 means zero-terminated (the terminator is
// converted and counted); a destination size of 0 returns the size needed; a
// destination too small returns 0. Code pages other than CP_ACP and CP_UTF8 fail.
int MultiByteToWideChar(UINT code_page, DWORD flags, const char* src, int src_len, WCHAR* dst, int dst_len);
int WideCharToMultiByte(UINT code_page, DWORD flags, const WCHAR* src, int src_len, char* dst, int dst_len,
                        const char* default_char, BOOL* used_default);
