#include "outside/ap4/Ap4AtomFactory.h"

#include "outside/ap4/Ap4BodyReader.h"
#include "outside/ap4/Ap4ByteStream.h"
#include "outside/ap4/Ap4EsdsAtom.h"
#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4LeafAtoms.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4SampleEntry.h"
#include "outside/ap4/Ap4SampleTableAtoms.h"
#include "outside/ap4/Ap4StsdAtom.h"

#include <algorithm>
#include <new>

namespace {

constexpr AP4_UI32 T(const char (&s)[5])
{
    return AP4_ATOM_TYPE(static_cast<unsigned char>(s[0]), static_cast<unsigned char>(s[1]),
                         static_cast<unsigned char>(s[2]), static_cast<unsigned char>(s[3]));
}

constexpr AP4_UI32 copyright(char a, char b, char c) { return AP4_ATOM_TYPE(0xA9, a, b, c); }

constexpr AP4_UI32 plain_containers[] = {
    T("trak"), T("mdia"), T("minf"), T("stbl"), T("dinf"), T("edts"), T("udta"), T("cmov"), T("ilst"), T("wave"),
    T("trkn"), T("sinf"), T("schi"), copyright('n', 'a', 'm'), copyright('A', 'R', 'T'), copyright('a', 'l', 'b'),
    copyright('d', 'a', 'y'), copyright('c', 'm', 't'), copyright('g', 'e', 'n'), copyright('t', 'o', 'o'),
    copyright('w', 'r', 't'),
};

using LeafMaker = std::unique_ptr<AP4_Atom> (*)(const ap4::AtomHeader&, ap4::BodyReader&);

template <class A>
std::unique_ptr<AP4_Atom> make(const ap4::AtomHeader& h, ap4::BodyReader& body)
{
    return std::make_unique<A>(h, body);
}

struct Leaf {
    AP4_UI32 type;
    bool full;   // version and flags come first
    LeafMaker maker;
};

constexpr Leaf leaves[] = {
    {T("mvhd"), true, make<AP4_MvhdAtom>},   {T("tkhd"), true, make<AP4_TkhdAtom>},
    {T("mdhd"), true, make<AP4_MdhdAtom>},   {T("hdlr"), true, make<AP4_HdlrAtom>},
    {T("stts"), true, make<AP4_SttsAtom>},   {T("ctts"), true, make<AP4_CttsAtom>},
    {T("stsc"), true, make<AP4_StscAtom>},   {T("stsz"), true, make<AP4_StszAtom>},
    {T("stco"), true, make<AP4_StcoAtom>},   {T("co64"), true, make<AP4_StcoAtom>},
    {T("stss"), true, make<AP4_StssAtom>},   {T("esds"), true, make<AP4_EsdsAtom>},
    {T("chpl"), true, make<AP4_ChplAtom>},   {T("avcC"), false, make<AP4_AvcCAtom>},
    {T("dcom"), false, make<AP4_DcomAtom>},  {T("cmvd"), false, make<AP4_CmvdAtom>},
    {T("data"), false, make<AP4_DataAtom>},  {T("ftab"), false, make<AP4_FtabAtom>},
    {T("frma"), false, make<AP4_FrmaAtom>},
};

// Reads the rest of the atom whole.
std::vector<AP4_UI08> read_body(const ap4::AtomHeader& h, AP4_ByteStream& stream, AP4_UI64 already_read)
{
    const AP4_UI64 n = h.size - h.header_size - already_read;
    if (n > AP4_DefaultAtomFactory::max_leaf_size) throw ap4::InvalidAtom{};
    std::vector<AP4_UI08> body(static_cast<std::size_t>(n));
    if (n && AP4_FAILED(stream.Read(body.data(), static_cast<AP4_Size>(n)))) throw ap4::InvalidAtom{};
    return body;
}

void read_version_and_flags(ap4::AtomHeader& h, AP4_ByteStream& stream)
{
    AP4_UI32 word = 0;
    if (h.size - h.header_size < 4 || AP4_FAILED(stream.ReadUI32(word))) throw ap4::InvalidAtom{};
    h.full = true;
    h.version = static_cast<AP4_UI08>(word >> 24);
    h.flags = word & 0xFFFFFF;
}

}

AP4_Result AP4_DefaultAtomFactory::CreateAtomFromStream(AP4_ByteStream& stream, AP4_LargeSize& bytes_available,
                                                        std::unique_ptr<AP4_Atom>& atom)
{
    atom.reset();
    AP4_Position start = 0;
    AP4_Result r = stream.Tell(start);
    if (AP4_FAILED(r)) return r;
    if (bytes_available < 8) return AP4_ERROR_EOS;
    AP4_UI32 size32 = 0;
    ap4::AtomHeader h{};
    if (AP4_FAILED(r = stream.ReadUI32(size32)) || AP4_FAILED(r = stream.ReadUI32(h.type))) return r;
    h.size = size32;
    h.header_size = 8;
    if (size32 == 1) {
        if (bytes_available < 16) return AP4_FAILURE;
        if (AP4_FAILED(r = stream.ReadUI64(h.size))) return r;
        h.header_size = 16;
    } else if (size32 == 0) {
        h.size = bytes_available;
    }
    if (h.size < h.header_size || h.size > bytes_available) return AP4_FAILURE;
    if (m_open_atoms.size() >= max_depth) return AP4_FAILURE;
    // Atoms read while this one is being made, from the stream or from memory, nest inside it.
    m_open_atoms.push_back(h.type);
    struct Close {
        std::vector<AP4_UI32>& open;
        ~Close() { open.pop_back(); }
    } close{m_open_atoms};
    try {
        atom = Parent() == T("stsd") ? CreateSampleEntry(h, stream) : Create(h, stream);
    } catch (const ap4::InvalidAtom&) {
        atom = std::make_unique<AP4_UnknownAtom>(ap4::AtomHeader{h.type, h.size, h.header_size});
    } catch (const std::bad_alloc&) {
        return AP4_ERROR_OUT_OF_MEMORY;
    }
    bytes_available -= h.size;
    return stream.Seek(start + h.size);
}

std::unique_ptr<AP4_Atom> AP4_DefaultAtomFactory::Create(ap4::AtomHeader& h, AP4_ByteStream& stream)
{
    if (h.type == T("moov")) {
        auto moov = std::make_unique<AP4_MoovAtom>(h);
        ReadChildren(*moov, stream);
        moov->AdoptCompressedHeader(*this);
        return moov;
    }
    if (h.type == T("stsd")) {
        read_version_and_flags(h, stream);
        AP4_UI32 count = 0;
        if (AP4_FAILED(stream.ReadUI32(count))) throw ap4::InvalidAtom{};
        auto stsd = std::make_unique<AP4_StsdAtom>(h);
        if (count > (h.size - h.header_size - 8) / 8) throw ap4::InvalidAtom{};
        ReadChildren(*stsd, stream);
        stsd->MakeSampleDescriptions();
        return stsd;
    }
    if (h.type == T("meta")) {
        read_version_and_flags(h, stream);
        auto meta = std::make_unique<AP4_ContainerAtom>(h);
        ReadChildren(*meta, stream);
        return meta;
    }
    if (std::find(std::begin(plain_containers), std::end(plain_containers), h.type) != std::end(plain_containers)) {
        if (h.type == T("trak")) m_handler_type = 0;
        auto container = std::make_unique<AP4_ContainerAtom>(h);
        ReadChildren(*container, stream);
        return container;
    }
    return CreateLeaf(h, stream);
}

std::unique_ptr<AP4_Atom> AP4_DefaultAtomFactory::CreateLeaf(ap4::AtomHeader& h, AP4_ByteStream& stream)
{
    const auto* leaf = std::find_if(std::begin(leaves), std::end(leaves), [&](const Leaf& l) { return l.type == h.type; });
    if (leaf == std::end(leaves)) return std::make_unique<AP4_UnknownAtom>(h);
    if (leaf->full) read_version_and_flags(h, stream);
    const std::vector<AP4_UI08> bytes = read_body(h, stream, h.full ? 4 : 0);
    ap4::BodyReader body(bytes);
    std::unique_ptr<AP4_Atom> atom = leaf->maker(h, body);
    if (h.type == T("hdlr") && Parent() == T("mdia"))
        m_handler_type = static_cast<AP4_HdlrAtom*>(atom.get())->GetHandlerType();
    return atom;
}

std::unique_ptr<AP4_Atom> AP4_DefaultAtomFactory::CreateSampleEntry(ap4::AtomHeader& h, AP4_ByteStream& stream)
{
    const std::vector<AP4_UI08> bytes = read_body(h, stream, 0);
    ap4::BodyReader body(bytes);
    if (h.type == T("text")) return std::make_unique<AP4_TextSampleEntry>(h, body);
    if (h.type == T("tx3g")) return std::make_unique<AP4_Tx3gSampleEntry>(h, body, *this);
    if (m_handler_type == T("vide")) {
        if (h.type == T("avc1")) return std::make_unique<AP4_Avc1SampleEntry>(h, body, *this);
        return std::make_unique<AP4_VisualSampleEntry>(h, body, *this);
    }
    if (m_handler_type == T("soun")) return std::make_unique<AP4_AudioSampleEntry>(h, body, *this);
    return std::make_unique<AP4_SampleEntry>(h, body, *this);
}

void AP4_DefaultAtomFactory::ReadChildren(AP4_ContainerAtom& container, AP4_ByteStream& stream)
{
    // The children fill what is left of the container after its header (and version and flags, or entry count).
    AP4_UI64 used = container.GetHeaderSize();
    if (container.GetType() == T("stsd")) used += 4;
    const AP4_Result r = container.AP4_AtomParent::ReadChildren(*this, stream, container.GetSize() - used);
    if (r == AP4_ERROR_OUT_OF_MEMORY) throw std::bad_alloc();
}

AP4_UI32 AP4_DefaultAtomFactory::Parent() const
{
    return m_open_atoms.size() >= 2 ? m_open_atoms[m_open_atoms.size() - 2] : 0;
}
