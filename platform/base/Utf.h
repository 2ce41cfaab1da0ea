#pragma once
// UTF-8 and UTF-16 conversion. The ANSI code page of the system's 8-bit
// Windows texts is UTF-8 here, so CP_ACP and CP_UTF8 convert alike.

#include "Types.h"

#include <string>
#include <string_view>

namespace plat {

// What a conversion does with malformed input.
enum class Utf8Rules {
    // Bad UTF-8 bytes, overlong forms, values past U+10FFFF and lone surrogates
    // become U+FFFD; nothing is dropped silently.
    Strict,
    // The rules the system's own stored texts were written with: a lone surrogate
    // travels as its three-byte form and comes back unchanged (so does a pair written
    // as two such forms); bytes that form no character are dropped.
    SurrogatesKept,
};

std::u16string utf8_to_utf16(std::string_view text, Utf8Rules rules = Utf8Rules::Strict);
std::string utf16_to_utf8(std::u16string_view text, Utf8Rules rules = Utf8Rules::Strict);

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
