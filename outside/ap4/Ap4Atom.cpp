#include "outside/ap4/Ap4Atom.h"

#include "outside/ap4/Ap4AtomFactory.h"
#include "outside/ap4/Ap4ByteStream.h"

#include <algorithm>
#include <cstring>

AP4_Atom::AP4_Atom(Type type, AP4_UI64 size, AP4_UI32 header_size)
    : m_type(type), m_size(size), m_header_size(header_size), m_is_full(false), m_version(0), m_flags(0)
{
}

AP4_Atom::AP4_Atom(Type type, AP4_UI64 size, AP4_UI32 header_size, AP4_UI08 version, AP4_UI32 flags)
    : m_type(type), m_size(size), m_header_size(header_size + 4), m_is_full(true), m_version(version), m_flags(flags)
{
}

AP4_Atom::AP4_Atom(const ap4::AtomHeader& h)
    : m_type(h.type), m_size(h.size), m_header_size(h.header_size + (h.full ? 4 : 0)), m_is_full(h.full),
      m_version(h.version), m_flags(h.flags)
{
}

AP4_Atom::~AP4_Atom() = default;

std::unique_ptr<AP4_Atom> AP4_Atom::Detach()
{
    return m_parent ? m_parent->RemoveChild(this) : nullptr;
}

AP4_AtomParent::~AP4_AtomParent() = default;

void AP4_AtomParent::AddChild(std::unique_ptr<AP4_Atom> child, int position)
{
    child->SetParent(this);
    if (position < 0 || static_cast<std::size_t>(position) >= m_children.size()) m_children.push_back(std::move(child));
    else m_children.insert(m_children.begin() + position, std::move(child));
}

std::unique_ptr<AP4_Atom> AP4_AtomParent::RemoveChild(AP4_Atom* child)
{
    auto it = std::find_if(m_children.begin(), m_children.end(), [&](const auto& c) { return c.get() == child; });
    if (it == m_children.end()) return nullptr;
    std::unique_ptr<AP4_Atom> out = std::move(*it);
    m_children.erase(it);
    out->SetParent(nullptr);
    return out;
}

AP4_Result AP4_AtomParent::DeleteChild(AP4_Atom::Type type, AP4_Ordinal index)
{
    AP4_Atom* child = GetChild(type, index);
    if (!child) return AP4_FAILURE;
    RemoveChild(child);
    return AP4_SUCCESS;
}

AP4_Atom* AP4_AtomParent::GetChild(AP4_Atom::Type type, AP4_Ordinal index) const
{
    for (const auto& c : m_children)
        if (c->GetType() == type && index-- == 0) return c.get();
    return nullptr;
}

AP4_Atom* AP4_AtomParent::FindChild(const char* path) const
{
    const AP4_AtomParent* parent = this;
    AP4_Atom* found = nullptr;
    while (*path) {
        if (!parent || std::strlen(path) < 4 || (path[4] != '\0' && path[4] != '/')) return nullptr;
        const auto* p = reinterpret_cast<const unsigned char*>(path);
        found = parent->GetChild(AP4_ATOM_TYPE(p[0], p[1], p[2], p[3]));
        if (!found) return nullptr;
        path += path[4] == '/' ? 5 : 4;
        parent = dynamic_cast<const AP4_AtomParent*>(found);
    }
    return found;
}

AP4_Result AP4_AtomParent::ReadChildren(AP4_DefaultAtomFactory& factory, AP4_ByteStream& stream, AP4_LargeSize size)
{
    AP4_Position start = 0;
    AP4_Result result = stream.Tell(start);
    if (AP4_FAILED(result)) return result;
    AP4_LargeSize left = size;
    while (left > 0) {
        std::unique_ptr<AP4_Atom> child;
        result = factory.CreateAtomFromStream(stream, left, child);
        if (AP4_FAILED(result)) break;
        AddChild(std::move(child));
    }
    // What could not be read is passed over: the siblings after it may still be sound.
    stream.Seek(start + size);
    return result == AP4_ERROR_EOS ? AP4_SUCCESS : result;
}
