#include "Utf.h"

#include <algorithm>
#include <optional>

namespace plat {

namespace {

constexpr char32_t replacement = 0xFFFD;

constexpr bool is_surrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDFFF; }
constexpr bool is_high_surrogate(char32_t cp) { return cp >= 0xD800 && cp <= 0xDBFF; }
constexpr bool is_low_surrogate(char32_t cp) { return cp >= 0xDC00 && cp <= 0xDFFF; }

// Decodes one code point at text[i], advancing i past what it used; nothing for a
// byte that starts no sequence, a sequence cut short, an overlong form or a value
// past U+10FFFF. Surrogates come back as decoded: the caller's rules judge them.
std::optional<char32_t> decode_utf8(std::string_view text, std::size_t& i)
{
    auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra;
    char32_t cp;
    char32_t min;
    if ((lead & 0xE0) == 0xC0) { extra = 1; cp = lead & 0x1F; min = 0x80; }
    else if ((lead & 0xF0) == 0xE0) { extra = 2; cp = lead & 0x0F; min = 0x800; }
    else if ((lead & 0xF8) == 0xF0) { extra = 3; cp = lead & 0x07; min = 0x10000; }
    else return std::nullopt;
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size()) return std::nullopt;
        auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) != 0x80) return std::nullopt;
        cp = cp << 6 | (c & 0x3F);
        ++i;
    }
    if (cp < min || cp > 0x10FFFF) return std::nullopt;
    return cp;
}

void append_utf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool supported(UINT code_page) { return code_page == CP_ACP || code_page == CP_UTF8; }

}

std::u16string utf8_to_utf16(std::string_view text, Utf8Rules rules)
{
    const bool keep_surrogates = rules == Utf8Rules::SurrogatesKept;
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::optional<char32_t> cp = decode_utf8(text, i);
        if (cp && is_surrogate(*cp) && !keep_surrogates) cp.reset();
        if (!cp) {
            if (!keep_surrogates) out += static_cast<char16_t>(replacement);
        } else if (*cp >= 0x10000) {
            const char32_t above = *cp - 0x10000;
            out += static_cast<char16_t>(0xD800 | above >> 10);
            out += static_cast<char16_t>(0xDC00 | (above & 0x3FF));
        } else {
            out += static_cast<char16_t>(*cp);
        }
    }
    return out;
}

std::string utf16_to_utf8(std::u16string_view text, Utf8Rules rules)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (is_surrogate(unit) && rules == Utf8Rules::Strict) {
            append_utf8(out, replacement);
        } else {
            append_utf8(out, unit);
        }
    }
    return out;
}

std::size_t wide_length(const WCHAR* text)
{
    std::size_t n = 0;
    while (text[n] != 0) ++n;
    return n;
}

}

namespace {

// Both conversions with the Windows contract: a source length of -1 takes the text with
// its terminator; a destination size of 0 asks for the size; too small a destination is 0.
template <class Char, class Convert>
int convert_windows_style(UINT code_page, const Char* src, int src_len, auto* dst, int dst_len, Convert convert)
{
    if (!plat::supported(code_page) || src == nullptr || dst_len < 0) return 0;
    const std::basic_string_view<Char> in =
        src_len < 0 ? std::basic_string_view<Char>(src, std::char_traits<Char>::length(src) + 1)
                    : std::basic_string_view<Char>(src, static_cast<std::size_t>(src_len));
    const auto out = convert(in);
    if (dst_len == 0) return static_cast<int>(out.size());
    if (out.size() > static_cast<std::size_t>(dst_len) || dst == nullptr) return 0;
    std::copy(out.begin(), out.end(), dst);
    return static_cast<int>(out.size());
}

}

int MultiByteToWideChar(UINT code_page, DWORD, const char* src, int src_len, WCHAR* dst, int dst_len)
{
    return convert_windows_style(code_page, src, src_len, dst, dst_len,
                                 [](std::string_view in) { return plat::utf8_to_utf16(in); });
}

int WideCharToMultiByte(UINT code_page, DWORD, const WCHAR* src, int src_len, char* dst, int dst_len, const char*,
                        BOOL* used_default)
{
    if (used_default) *used_default = FALSE;
    return convert_windows_style(code_page, src, src_len, dst, dst_len,
                                 [](std::u16string_view in) { return plat::utf16_to_utf8(in); });
}
