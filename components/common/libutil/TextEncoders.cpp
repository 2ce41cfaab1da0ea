#include "TextEncoders.h"

#include "ByteBuffer.h"

#include "platform/base/Utf.h"

#include <cerrno>
#include <memory>

#include <iconv.h>
#include <openssl/evp.h>

namespace LibUtil {

namespace {

constexpr char hex_digits[] = "0123456789ABCDEF";

bool is_high_surrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool is_low_surrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// Bytes that follow a lead byte; 0 for a byte that cannot start a sequence.
int continuation_count(unsigned char lead)
{
    if (lead >= 0xC0 && lead <= 0xDF) return 1;
    if (lead >= 0xE0 && lead <= 0xEF) return 2;
    if (lead >= 0xF0 && lead <= 0xF7) return 3;
    if (lead >= 0xF8 && lead <= 0xFB) return 4;
    if (lead >= 0xFC && lead <= 0xFD) return 5;
    return 0;
}

void append_utf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else if (cp <= 0x10FFFF) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 | cp >> 10);
        out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
    } else {
        out += u'\uFFFD';
    }
}

struct IconvClose {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

}

bool WideToUtf8(const WCHAR* text, std::string& out)
{
    if (!text)
        return false;
    const std::u16string_view all(text, plat::wide_length(text));
    std::string result;
    std::size_t written = 0;   // units before this are in result
    for (std::size_t i = 0; i < all.size(); ++i) {
        const char32_t unit = all[i];
        if (is_high_surrogate(unit) && i + 1 < all.size() && is_low_surrogate(all[i + 1])) {
            ++i;
            continue;
        }
        if (!is_high_surrogate(unit) && !is_low_surrogate(unit))
            continue;
        // A lone surrogate keeps its own three-byte form, which Utf8ToWide reads back.
        result += plat::utf16_to_utf8(all.substr(written, i - written));
        result += static_cast<char>(0xE0 | unit >> 12);
        result += static_cast<char>(0x80 | (unit >> 6 & 0x3F));
        result += static_cast<char>(0x80 | (unit & 0x3F));
        written = i + 1;
    }
    result += plat::utf16_to_utf8(all.substr(written));
    out = std::move(result);
    return true;
}

bool Utf8ToWide(const char* text, std::u16string& out)
{
    if (!text)
        return false;
    std::u16string result;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        unsigned char lead = *p;
        if (lead < 0x80) {
            result += static_cast<char16_t>(lead);
            ++p;
            continue;
        }
        int extra = continuation_count(lead);
        int whole = 0;
        while (whole < extra && (p[1 + whole] & 0xC0) == 0x80)
            ++whole;
        if (extra == 0 || whole < extra) {
            ++p;   // not a lead byte, or a sequence cut short: skip the byte alone
            continue;
        }
        char32_t cp = lead & (0x7F >> (extra + 1));
        for (int k = 1; k <= extra; ++k)
            cp = cp << 6 | (p[k] & 0x3F);
        append_utf16(result, extra <= 3 ? cp : 0x110000);
        p += 1 + extra;
    }
    out = std::move(result);
    return true;
}

bool ConvertCharset(std::string_view text, const char* to_set, const char* from_set, std::string& out)
{
    if (!to_set || !from_set)
        return false;
    iconv_t opened = iconv_open(to_set, from_set);
    if (opened == reinterpret_cast<iconv_t>(-1))
        return false;
    std::unique_ptr<void, IconvClose> cd(opened);
    std::string result(2 * text.size() + 16, '\0');
    char* in = const_cast<char*>(text.data());   // iconv's signature; it never writes the input
    std::size_t in_left = text.size();
    std::size_t used = 0;
    bool flushing = false;
    for (;;) {
        char* dst = result.data() + used;
        std::size_t dst_left = result.size() - used;
        std::size_t rc = flushing ? iconv(opened, nullptr, nullptr, &dst, &dst_left)
                                  : iconv(opened, &in, &in_left, &dst, &dst_left);
        used = static_cast<std::size_t>(dst - result.data());
        if (rc != static_cast<std::size_t>(-1)) {
            if (flushing)
                break;
            flushing = true;   // a stateful set may still owe a shift back to its initial state
            continue;
        }
        if (errno != E2BIG)
            return false;   // EILSEQ or EINVAL: the text is not valid in the from-set
        result.resize(result.size() * 2);
    }
    result.resize(used);
    out = std::move(result);
    return true;
}

bool UrlEncode(std::string_view text, std::string& out, const char* to_set, const char* from_set)
{
    std::string converted;
    if (to_set && from_set) {
        if (!ConvertCharset(text, to_set, from_set, converted))
            return false;
        text = converted;
    }
    std::string result;
    result.reserve(3 * text.size());
    for (char c : text) {
        auto b = static_cast<unsigned char>(c);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9')) {
            result += c;
        } else if (b == ' ' || (b >= '\t' && b <= '\r')) {
            result += '+';
        } else {
            result += '%';
            result += hex_digits[b >> 4];
            result += hex_digits[b & 0xF];
        }
    }
    out = std::move(result);
    return true;
}

std::string MD5HexString(const ByteBuffer& buffer)
{
    if (!buffer.Data())
        return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(buffer.Data(), buffer.Length(), digest, &size, EVP_md5(), nullptr) != 1)
        return {};
    std::string hex;
    for (unsigned int i = 0; i < size; ++i) {
        hex += hex_digits[digest[i] >> 4];
        hex += hex_digits[digest[i] & 0xF];
    }
    return hex;
}

}
