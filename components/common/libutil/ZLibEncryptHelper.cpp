#include "ZLibEncryptHelper.h"

#include "Base64.h"
#include "ByteBuffer.h"

#include <chrono>
#include <limits>
#include <optional>
#include <random>
#include <span>
#include <vector>

#define ZLIB_CONST
#include <zlib.h>

namespace LibUtil {

namespace {

constexpr std::size_t chunk = 1024;
constexpr BYTE zlib_header[2] = {0x78, 0x9C};
constexpr std::size_t max_length = std::numeric_limits<DWORD>::max();

struct DeflateEnd {
    void operator()(z_stream* s) const { deflateEnd(s); }
};
struct InflateEnd {
    void operator()(z_stream* s) const { inflateEnd(s); }
};

// Runs a deflate or inflate step into 1024-byte chunks until the stream ends.
// Anything but progress fails: a truncated, bad or dictionary-bound stream, or
// a result past 32-bit lengths.
template <class Step>
std::optional<std::vector<BYTE>> drain(z_stream& zs, Step step)
{
    std::vector<BYTE> out;
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        out.resize(zs.total_out + chunk);
        zs.next_out = out.data() + zs.total_out;
        zs.avail_out = chunk;
        rc = step();
        if ((rc != Z_OK && rc != Z_STREAM_END) || zs.total_out > max_length)
            return std::nullopt;
    }
    out.resize(zs.total_out);
    return out;
}

// Level 9, 15-bit window, memory level 8, default strategy: a zlib stream with its header.
std::optional<std::vector<BYTE>> deflate_all(std::span<const BYTE> input)
{
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, 15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return std::nullopt;
    std::unique_ptr<z_stream, DeflateEnd> end(&zs);
    zs.next_in = input.data();
    zs.avail_in = static_cast<uInt>(input.size());
    return drain(zs, [&] { return deflate(&zs, Z_FINISH); });
}

std::optional<std::vector<BYTE>> inflate_all(std::span<const BYTE> input)
{
    z_stream zs{};
    zs.next_in = input.data();
    zs.avail_in = static_cast<uInt>(input.size());
    if (inflateInit(&zs) != Z_OK)
        return std::nullopt;
    std::unique_ptr<z_stream, InflateEnd> end(&zs);
    // Z_BUF_ERROR with room to write means the input ran out before the stream ended.
    return drain(zs, [&] { return inflate(&zs, Z_NO_FLUSH); });
}

// Works on a copy: the caller's bytes keep their own first two bytes.
std::optional<std::vector<BYTE>> inflate_keyed(std::span<const BYTE> stream)
{
    if (stream.size() < 2)
        return std::nullopt;
    std::vector<BYTE> copy(stream.begin(), stream.end());
    copy[0] = zlib_header[0];
    copy[1] = zlib_header[1];
    return inflate_all(copy);
}

std::span<const BYTE> bytes_of(const ByteBuffer& buffer) { return {buffer.Data(), buffer.Length()}; }

}

ZLibEncryptHelper::ZLibEncryptHelper()
{
    // A generator of our own, seeded from the clock: creating a codec leaves the
    // process's rand() alone. Key bytes run from 0 to 254.
    std::minstd_rand generator(static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()));
    std::uniform_int_distribution<int> key_byte(0, 254);
    m_key[0] = static_cast<BYTE>(key_byte(generator));
    m_key[1] = static_cast<BYTE>(key_byte(generator));
}

bool ZLibEncryptHelper::encode_zlib(const ByteBuffer& input, ByteBuffer& output)
{
    auto stream = deflate_all(bytes_of(input));
    if (!stream)
        return false;
    auto& bytes = *stream;
    bytes[0] = m_key[0];
    bytes[1] = m_key[1];
    m_key[0] = bytes[bytes.size() / 2];
    m_key[1] = bytes[bytes.size() - 2];
    output = ByteBuffer(std::move(bytes));
    return true;
}

bool ZLibEncryptHelper::Encode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept
try {
    switch (mode) {
    case 0:
        return encode_zlib(input, output);
    case 1:
        output = ByteBuffer(input);
        return true;
    case 2: {
        ByteBuffer compressed;
        if (!encode_zlib(input, compressed))
            return false;
        output = ByteBuffer(base64_encode(compressed.View()));
        return true;
    }
    case 3:
        output = ByteBuffer(base64_encode(input.View()));
        return true;
    default:
        return false;
    }
} catch (const std::exception&) {
    // Out of memory, or a Base64 text past 32-bit lengths.
    return false;
}

bool ZLibEncryptHelper::Decode(const ByteBuffer& input, ByteBuffer& output, int mode) noexcept
try {
    std::optional<std::vector<BYTE>> result;
    switch (mode) {
    case 0:
        result = inflate_keyed(bytes_of(input));
        break;
    case 1:
        output = ByteBuffer(input);
        return true;
    case 2:
        result = inflate_keyed(base64_decode(input.View()));
        break;
    case 3:
        result = base64_decode(input.View());
        break;
    default:
        return false;
    }
    if (!result)
        return false;
    output = ByteBuffer(std::move(*result));
    return true;
} catch (const std::exception&) {
    return false;
}

std::unique_ptr<EncryptHelper> CreateEncryptHelper() { return std::make_unique<ZLibEncryptHelper>(); }

}
