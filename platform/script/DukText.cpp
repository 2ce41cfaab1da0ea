#include "platform/script/DukText.h"

#include "platform/base/Utf.h"

#include <duktape.h>

#include <algorithm>

namespace plat {

void push_utf16(duk_context* ctx, std::u16string_view text)
{
    std::string bytes;
    bytes.reserve(text.size());
    for (char16_t unit : text) {
        if (unit < 0x80) {
            bytes += static_cast<char>(unit);
        } else if (unit < 0x800) {
            bytes += static_cast<char>(0xC0 | (unit >> 6));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        } else {
            bytes += static_cast<char>(0xE0 | (unit >> 12));
            bytes += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
            bytes += static_cast<char>(0x80 | (unit & 0x3F));
        }
    }
    duk_push_lstring(ctx, bytes.data(), bytes.size());
}

namespace {

// ASCII is the same in UTF-8 and in Duktape's own form (CESU-8), and most texts are.
bool is_ascii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}

void push_utf8(duk_context* ctx, std::string_view text)
{
    if (is_ascii(text))
        duk_push_lstring(ctx, text.data(), text.size());
    else
        push_utf16(ctx, utf8_to_utf16(text));
}

std::u16string get_utf16(duk_context* ctx, int index)
{
    duk_size_t length = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(duk_safe_to_lstring(ctx, index, &length));
    std::u16string out;
    out.reserve(length);
    for (duk_size_t i = 0; i < length;) {
        unsigned char b = p[i];
        char32_t c = 0xFFFD;
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > length) {
            ++i;
        } else {
            c = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
            for (std::size_t k = 1; k < n; ++k)
                c = c << 6 | (p[i + k] & 0x3F);
            i += n;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (c >> 10));
            out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::string get_utf8(duk_context* ctx, int index)
{
    duk_size_t length = 0;
    const char* p = duk_safe_to_lstring(ctx, index, &length);
    const std::string_view text(p, length);
    return is_ascii(text) ? std::string(text) : utf16_to_utf8(get_utf16(ctx, index));
}

CallOutcome CallOutcome::fail(long number, std::string_view message)
{
    CallOutcome o;
    o.number = number;
    message = message.substr(0, sizeof o.message - 1);
    message.copy(o.message, message.size());
    return o;
}

int finish_call(duk_context* ctx, const CallOutcome& outcome)
{
    if (outcome.number != 0)
        throw_script_error(ctx, outcome.number, outcome.message);
    return outcome.results;
}

void throw_script_error(duk_context* ctx, long number, const char* message)
{
    duk_push_error_object_raw(ctx, DUK_ERR_ERROR, nullptr, 0, "%s", message);   // placed at the calling script line
    duk_push_number(ctx, static_cast<double>(static_cast<std::int32_t>(number)));
    duk_put_prop_string(ctx, -2, "number");
    (void)duk_throw(ctx);
    __builtin_unreachable();
}

}
