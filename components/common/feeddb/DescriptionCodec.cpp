#include "components/common/feeddb/DescriptionCodec.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace plat::feeddb {
namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t chunk = 1024;

std::string base64_encode(std::string_view bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t group = 0;
        for (std::size_t k = 0; k < 3; ++k)
            group = group << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            out += k <= n ? alphabet[group >> (18 - 6 * k) & 0x3F] : '=';
    }
    return out;
}

// Reads up to a zero byte or '='; characters outside the alphabet are skipped,
// and a trailing group of one character carries no byte.
std::string base64_decode(std::string_view text)
{
    std::string out;
    std::uint32_t group = 0;
    int filled = 0;
    for (const char c : text) {
        if (c == '\0' || c == '=')
            break;
        const std::size_t value = alphabet.find(c);
        if (value == std::string_view::npos)
            continue;
        group = group << 6 | static_cast<std::uint32_t>(value);
        if (++filled == 4) {
            out += static_cast<char>(group >> 16 & 0xFF);
            out += static_cast<char>(group >> 8 & 0xFF);
            out += static_cast<char>(group & 0xFF);
            group = 0;
            filled = 0;
        }
    }
    if (filled >= 2) {
        group <<= 6 * (4 - filled);
        out += static_cast<char>(group >> 16 & 0xFF);
        if (filled == 3)
            out += static_cast<char>(group >> 8 & 0xFF);
    }
    return out;
}

// Feeds all of the stream's input through step (deflate or inflate) in
// chunks; the output, or nothing when the stream did not end cleanly.
template <class Step>
std::optional<std::string> pump(z_stream& stream, Step step)
{
    std::string out;
    std::array<char, chunk> buffer;
    int rc = Z_OK;
    while (rc == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer.data());
        stream.avail_out = chunk;
        rc = step(&stream);
        out.append(buffer.data(), chunk - stream.avail_out);
    }
    if (rc != Z_STREAM_END)
        return std::nullopt;
    return out;
}

std::optional<std::string> deflate_text(std::string_view text)
{
    z_stream stream{};
    if (deflateInit2(&stream, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    std::optional<std::string> out = pump(stream, [](z_stream* s) { return deflate(s, Z_FINISH); });
    deflateEnd(&stream);
    return out;
}

std::optional<std::string> inflate_text(std::string stream_bytes)
{
    if (stream_bytes.size() < 2)
        return std::nullopt;
    // The header bytes carry the writer's key, not zlib's header.
    stream_bytes[0] = '\x78';
    stream_bytes[1] = '\x9C';
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(stream_bytes.data());
    stream.avail_in = static_cast<uInt>(stream_bytes.size());
    std::optional<std::string> out = pump(stream, [](z_stream* s) { return inflate(s, Z_NO_FLUSH); });
    inflateEnd(&stream);
    return out;
}

}

std::optional<std::string> encode_description(std::string_view text)
{
    const std::optional<std::string> packed = deflate_text(text);
    if (!packed)
        return std::nullopt;
    return base64_encode(*packed);
}

std::optional<std::string> decode_description(std::string_view stored)
{
    return inflate_text(base64_decode(stored));
}

}
