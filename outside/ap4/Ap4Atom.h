#pragma once
// The atom tree: AP4_Atom (a typed, sized box of the file, optionally with
// version and flags), AP4_AtomParent (owns an ordered list of child atoms,
// found by type or by an "a/b/c" path), AP4_ContainerAtom (an atom that is
// only its children) and AP4_UnknownAtom (a box whose body is passed over).

#include "outside/ap4/Ap4Types.h"

#include <memory>
#include <vector>

class AP4_DefaultAtomFactory;
class AP4_AtomParent;
class AP4_ByteStream;

namespace ap4 {
// What precedes an atom's fields: its type and size, and for a full atom its version and flags.
struct AtomHeader {
    AP4_UI32 type;
    AP4_UI64 size;          // of the whole atom
    AP4_UI32 header_size;   // 8, or 16 with a 64-bit size (version and flags not counted)
    bool full{false};
    AP4_UI08 version{0};
    AP4_UI32 flags{0};
};
}

class AP4_Atom {
public:
    using Type = AP4_UI32;

    AP4_Atom(Type type, AP4_UI64 size, AP4_UI32 header_size);
    // A full atom: its version and flags follow the header.
    AP4_Atom(Type type, AP4_UI64 size, AP4_UI32 header_size, AP4_UI08 version, AP4_UI32 flags);
    explicit AP4_Atom(const ap4::AtomHeader& h);
    virtual ~AP4_Atom();
    AP4_Atom(const AP4_Atom&) = delete;
    AP4_Atom& operator=(const AP4_Atom&) = delete;

    Type GetType() const { return m_type; }
    AP4_UI64 GetSize() const { return m_size; }
    AP4_UI32 GetHeaderSize() const { return m_header_size; }
    bool IsFull() const { return m_is_full; }
    AP4_UI08 GetVersion() const { return m_version; }
    AP4_UI32 GetFlags() const { return m_flags; }
    AP4_AtomParent* GetParent() const { return m_parent; }
    void SetParent(AP4_AtomParent* parent) { m_parent = parent; }
    // Takes the atom out of its parent; the caller owns it then (null when it had no parent).
    std::unique_ptr<AP4_Atom> Detach();

private:
    const Type m_type;
    const AP4_UI64 m_size;
    const AP4_UI32 m_header_size;   // 8, or 16 with a 64-bit size; full atoms add 4
    const bool m_is_full;
    const AP4_UI08 m_version;
    const AP4_UI32 m_flags;
    AP4_AtomParent* m_parent{nullptr};   // not owned
};

class AP4_AtomParent {
public:
    AP4_AtomParent() = default;
    virtual ~AP4_AtomParent();
    AP4_AtomParent(const AP4_AtomParent&) = delete;
    AP4_AtomParent& operator=(const AP4_AtomParent&) = delete;

    // Appends the child (or inserts it at position) and becomes its parent.
    void AddChild(std::unique_ptr<AP4_Atom> child, int position = -1);
    // The child, no longer a child; null when it was not one.
    std::unique_ptr<AP4_Atom> RemoveChild(AP4_Atom* child);
    // AP4_FAILURE when there is no such child.
    AP4_Result DeleteChild(AP4_Atom::Type type, AP4_Ordinal index = 0);
    // The index-th child of this type, or null.
    AP4_Atom* GetChild(AP4_Atom::Type type, AP4_Ordinal index = 0) const;
    // The atom at a path of four-letter types separated by '/' ("mdia/minf/stbl"), or null.
    AP4_Atom* FindChild(const char* path) const;
    const std::vector<std::unique_ptr<AP4_Atom>>& GetChildren() const { return m_children; }

    // Reads children from the stream until size bytes are used up or one
    // cannot be read; the stream then stands after the size bytes.
    AP4_Result ReadChildren(AP4_DefaultAtomFactory& factory, AP4_ByteStream& stream, AP4_LargeSize size);

private:
    std::vector<std::unique_ptr<AP4_Atom>> m_children;
};

class AP4_ContainerAtom : public AP4_Atom, public AP4_AtomParent {
public:
    using AP4_Atom::AP4_Atom;
};

class AP4_UnknownAtom final : public AP4_Atom {
public:
    using AP4_Atom::AP4_Atom;
};
