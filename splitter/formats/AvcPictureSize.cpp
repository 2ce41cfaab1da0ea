#include "splitter/formats/AvcPictureSize.h"

#include <vector>

namespace {

// Exp-Golomb and plain bit reads over the unescaped set; any read past the end fails the whole parse.
class RbspReader {
public:
    explicit RbspReader(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    bool failed() const { return m_failed; }
    std::uint32_t bits(int n)
    {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 1 | bit();
        return v;
    }
    std::uint32_t ue()
    {
        int zeros = 0;
        while (!m_failed && bit() == 0)
            if (++zeros > 31) m_failed = true;
        if (m_failed) return 0;
        return (1u << zeros) - 1 + bits(zeros);
    }
    std::int32_t se()
    {
        std::uint32_t v = ue();
        return v & 1 ? static_cast<std::int32_t>((v + 1) / 2) : -static_cast<std::int32_t>(v / 2);
    }

private:
    std::uint32_t bit()
    {
        if (m_pos >= m_bytes.size() * 8) {
            m_failed = true;
            return 0;
        }
        std::uint32_t b = m_bytes[m_pos / 8] >> (7 - m_pos % 8) & 1;
        ++m_pos;
        return b;
    }

    std::vector<std::uint8_t> m_bytes;
    std::size_t m_pos{0};
    bool m_failed{false};
};

std::vector<std::uint8_t> unescape(std::span<const std::uint8_t> nal)
{
    std::vector<std::uint8_t> out;
    out.reserve(nal.size());
    int zeros = 0;
    for (std::uint8_t b : nal) {
        if (zeros >= 2 && b == 3) {
            zeros = 0;
            continue;
        }
        zeros = b == 0 ? zeros + 1 : 0;
        out.push_back(b);
    }
    return out;
}

void skip_scaling_list(RbspReader& r, int size)
{
    int last = 8, next = 8;
    for (int j = 0; j < size && !r.failed(); ++j) {
        if (next != 0) next = (last + r.se() + 256) % 256;
        last = next == 0 ? last : next;
    }
}

bool has_chroma_info(std::uint32_t profile)
{
    switch (profile) {
    case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138: case 139:
    case 134: case 135:
        return true;
    default:
        return false;
    }
}

}

std::optional<AvcPictureSize> ReadAvcPictureSize(std::span<const std::uint8_t> sps)
{
    if (sps.size() < 4 || (sps[0] & 0x1F) != 7) return std::nullopt;
    RbspReader r(unescape(sps.subspan(1)));
    const std::uint32_t profile = r.bits(8);
    r.bits(16);   // constraint flags and level
    r.ue();       // set id
    std::uint32_t chroma_format = 1;
    bool separate_planes = false;
    if (has_chroma_info(profile)) {
        chroma_format = r.ue();
        if (chroma_format == 3) separate_planes = r.bits(1);
        r.ue();   // luma bit depth
        r.ue();   // chroma bit depth
        r.bits(1);
        if (r.bits(1))
            for (int i = 0; i < (chroma_format != 3 ? 8 : 12) && !r.failed(); ++i)
                if (r.bits(1)) skip_scaling_list(r, i < 6 ? 16 : 64);
    }
    r.ue();   // log2 max frame number - 4
    const std::uint32_t poc_type = r.ue();
    if (poc_type == 0) {
        r.ue();
    } else if (poc_type == 1) {
        r.bits(1);
        r.se();
        r.se();
        const std::uint32_t cycle = r.ue();
        if (cycle > 255) return std::nullopt;
        for (std::uint32_t i = 0; i < cycle && !r.failed(); ++i) r.se();
    }
    r.ue();        // reference frames
    r.bits(1);     // gaps allowed
    const std::uint32_t width_mbs = r.ue() + 1;
    const std::uint32_t height_units = r.ue() + 1;
    const std::uint32_t frame_mbs_only = r.bits(1);
    if (!frame_mbs_only) r.bits(1);
    r.bits(1);     // direct 8x8 inference
    std::uint32_t crop[4] = {0, 0, 0, 0};
    if (r.bits(1))
        for (auto& c : crop) c = r.ue();
    if (r.failed() || width_mbs > 1024 || height_units > 1024) return std::nullopt;

    const std::uint32_t array_type = separate_planes ? 0 : chroma_format;
    const std::uint32_t crop_x = array_type == 0 ? 1 : array_type == 3 ? 1 : 2;
    const std::uint32_t crop_y = (array_type == 0 || array_type == 3 ? 1 : array_type == 1 ? 2 : 1) * (2 - frame_mbs_only);
    const long width = static_cast<long>(width_mbs * 16) - static_cast<long>(crop_x * (crop[0] + crop[1]));
    const long height = static_cast<long>(height_units * 16 * (2 - frame_mbs_only)) -
                        static_cast<long>(crop_y * (crop[2] + crop[3]));
    if (width <= 0 || height <= 0) return std::nullopt;
    return AvcPictureSize{static_cast<int>(width), static_cast<int>(height)};
}
