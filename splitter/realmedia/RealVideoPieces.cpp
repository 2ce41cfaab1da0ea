#include "splitter/realmedia/RealVideoPieces.h"

#include <algorithm>

namespace {

// Even the largest RealVideo pictures code to a few megabytes; a longer frame
// length is damage, and it would size the reassembly buffer.
constexpr DWORD max_frame_length = 16u << 20;

// A length or offset: 2 bytes (low 14 bits) when bit 14 is set, else 4 bytes (low 30 bits).
bool read_varlen(std::span<const BYTE> data, std::size_t& at, DWORD& value)
{
    if (at + 2 > data.size()) return false;
    const DWORD v = DWORD{data[at]} << 8 | data[at + 1];
    if (v & 0x4000) {
        value = v & 0x3FFF;
        at += 2;
        return true;
    }
    if (at + 4 > data.size()) return false;
    value = (v << 16 | DWORD{data[at + 2]} << 8 | data[at + 3]) & 0x3FFFFFFF;
    at += 4;
    return true;
}

struct Bits {
    std::span<const BYTE> data;
    std::size_t pos{0};
    bool ok{true};
    DWORD get(int n)
    {
        DWORD v = 0;
        for (int i = 0; i < n; ++i, ++pos) {
            if (pos / 8 >= data.size()) {
                ok = false;
                return 0;
            }
            v = v << 1 | ((data[pos / 8] >> (7 - pos % 8)) & 1);
        }
        return v;
    }
    // A size coded as 8-bit runs: each value times 4, until one below 255.
    DWORD runs()
    {
        DWORD size = 0, v;
        do {
            v = get(8);
            size += v * 4;
        } while (v == 255 && ok);
        return size;
    }
};

}

bool ReadRealVideoPiece(std::span<const BYTE> data, std::size_t& at, RealVideoPiece& piece)
{
    piece = {};
    if (at >= data.size()) return false;
    piece.header = data[at++];
    const BYTE h = piece.header;
    if ((h & 0xC0) == 0x40) {
        if (at + 1 > data.size()) return false;
        ++at;   // sequence number
        piece.whole = piece.completes = true;
        piece.bytes = data.subspan(at);
        piece.frame_length = static_cast<DWORD>(piece.bytes.size());
        at = data.size();
        return true;
    }
    if (!(h & 0x40)) {
        if (at >= data.size()) return false;
        ++at;   // sequence number
    }
    DWORD offset = 0;
    if (!read_varlen(data, at, piece.frame_length) || !read_varlen(data, at, offset)) return false;
    if (piece.frame_length > max_frame_length) return false;
    if (h >= 0xC0) {
        piece.has_time = true;
        piece.time_ms = offset;
        offset = 0;
    } else if (h >= 0x80) {
        if (offset > piece.frame_length) return false;
        offset = piece.frame_length - offset;
    }
    if (offset > piece.frame_length || at >= data.size()) return false;
    ++at;   // sequence number
    piece.offset = offset;
    const std::size_t length = std::min<std::size_t>(data.size() - at, piece.frame_length - offset);
    piece.bytes = data.subspan(at, length);
    at += length;
    piece.completes = (h & 0x80) || offset + length >= piece.frame_length;
    return true;
}

bool ReadRealVideoPictureSize(std::span<const BYTE> frame, DWORD& width, DWORD& height)
{
    // RV41 pictures are coded as RV40's: the same picture type, quantiser and
    // time fields come before the size codes.
    Bits bits{frame};
    bits.get(26);
    constexpr DWORD widths[] = {160, 176, 240, 320, 352, 640, 704, 0};
    constexpr DWORD heights[] = {120, 132, 144, 240, 288, 480, 0, 0};
    constexpr DWORD more_heights[] = {180, 360, 576, 0};
    width = widths[bits.get(3)];
    if (!width) width = bits.runs();
    DWORD code = bits.get(3);
    height = heights[code];
    if (!height) {
        code = code << 1 | bits.get(1);
        height = more_heights[code & 3];
        if (!height) height = bits.runs();
    }
    return bits.ok;
}
