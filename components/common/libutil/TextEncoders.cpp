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

struct IconvClose {
    void operator()(void* cd) const { iconv_close(static_cast<iconv_t>(cd)); }
};

}

bool WideToUtf8(const WCHAR* text, std::string& out)
{
    if (!text)
        return false;
    out = plat::utf16_to_utf8(std::u16string_view(text, plat::wide_length(text)), plat::Utf8Rules::SurrogatesKept);
    return true;
}

bool Utf8ToWide(const char* text, std::u16string& out)
{
    if (!text)
        return false;
    out = plat::utf8_to_utf16(text, plat::Utf8Rules::SurrogatesKept);
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
