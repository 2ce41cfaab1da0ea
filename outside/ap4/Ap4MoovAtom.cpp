#include "outside/ap4/Ap4MoovAtom.h"

#include "outside/ap4/Ap4ByteStream.h"
#include "outside/ap4/Ap4LeafAtoms.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

struct InflateEnd {
    void operator()(z_stream* s) const
    {
        inflateEnd(s);
        delete s;
    }
};

// Inflates a zlib stream into at most ceiling bytes. The buffer doubles, so
// the copies stay linear. Damage discards everything; a stream cut short
// (its input used up, or no progress) keeps what it gave; output beyond the
// ceiling is refused.
std::optional<std::vector<AP4_UI08>> inflate_header(const AP4_DataBuffer& in, std::size_t ceiling)
{
    auto* raw = new z_stream{};
    if (inflateInit(raw) != Z_OK) {
        delete raw;
        return std::nullopt;
    }
    std::unique_ptr<z_stream, InflateEnd> z(raw);
    z->next_in = const_cast<Bytef*>(in.GetData());
    z->avail_in = in.GetDataSize();
    // One byte beyond the ceiling shows a stream that would give more.
    const std::size_t limit = ceiling + 1;
    std::vector<AP4_UI08> out(std::min(limit, std::max<std::size_t>(std::size_t{in.GetDataSize()} * 4, 4096)));
    std::size_t produced = 0;
    for (;;) {
        if (produced == out.size()) {
            if (out.size() >= limit) return std::nullopt;
            out.resize(std::min(limit, out.size() * 2));
        }
        z->next_out = out.data() + produced;
        z->avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - produced, UINT32_MAX));
        const uInt in_before = z->avail_in;
        const uInt out_before = z->avail_out;
        const int result = inflate(z.get(), Z_NO_FLUSH);
        produced += out_before - z->avail_out;
        if (result == Z_STREAM_END) break;
        if (result != Z_OK && result != Z_BUF_ERROR) return std::nullopt;
        if (z->avail_in == 0 && z->avail_out != 0) break;                    // cut short
        if (z->avail_in == in_before && z->avail_out == out_before) break;   // no progress
    }
    if (produced > ceiling) return std::nullopt;
    out.resize(produced);
    return out;
}

}

void AP4_MoovAtom::AdoptCompressedHeader(AP4_DefaultAtomFactory& factory)
{
    auto* cmov = dynamic_cast<AP4_ContainerAtom*>(GetChild(AP4_ATOM_TYPE('c', 'm', 'o', 'v')));
    auto* dcom = cmov ? dynamic_cast<AP4_DcomAtom*>(cmov->GetChild(AP4_ATOM_TYPE('d', 'c', 'o', 'm'))) : nullptr;
    auto* cmvd = cmov ? dynamic_cast<AP4_CmvdAtom*>(cmov->GetChild(AP4_ATOM_TYPE('c', 'm', 'v', 'd'))) : nullptr;
    if (dcom && cmvd && dcom->GetCompressorSubType() == AP4_ATOM_TYPE('z', 'l', 'i', 'b')) {
        const std::size_t ceiling = std::min<std::size_t>(cmvd->GetUncompressedSize(), max_inflated_header);
        if (auto header = inflate_header(cmvd->GetCompressedData(), ceiling); header && !header->empty()) {
            const auto size = static_cast<AP4_Size>(header->size());
            AP4_StreamReference stream = AP4_StreamReference::adopt(new AP4_MemoryByteStream(std::move(*header)));
            ReadChildren(factory, *stream.get(), size);
            MoveInnerMovieChildren();
        }
    }
    m_traks.clear();
    for (const auto& child : GetChildren())
        if (child->GetType() == AP4_ATOM_TYPE('t', 'r', 'a', 'k'))
            if (auto* trak = dynamic_cast<AP4_ContainerAtom*>(child.get())) m_traks.push_back(trak);
}

void AP4_MoovAtom::MoveInnerMovieChildren()
{
    auto* inner = dynamic_cast<AP4_MoovAtom*>(GetChild(AP4_ATOM_TYPE('m', 'o', 'o', 'v')));
    if (!inner) return;
    while (!inner->GetChildren().empty()) AddChild(inner->RemoveChild(inner->GetChildren().front().get()));
    inner->Detach();
}
