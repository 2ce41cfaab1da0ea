#pragma once
// AP4_DefaultAtomFactory: makes the atom at a stream's position. Before
// anything is read or allocated for an atom its size is checked against what
// its parent (or the stream) has left: size 0 runs to that end, size 1 is
// followed by a 64-bit size, and no atom may be smaller than its header.
// Containers nest at most max_depth deep. An atom whose fields do not fit it
// is kept as an unknown atom of its type, so its siblings are still read.
//
// One factory reads one file: it remembers the handler of the track being
// read, which decides how that track's sample entries are read.

#include "outside/ap4/Ap4Atom.h"

#include <memory>
#include <vector>

class AP4_DefaultAtomFactory {
public:
    static constexpr std::size_t max_depth = 20;
    // Leaf atoms are read whole into memory; no table of a real file comes near this.
    static constexpr AP4_UI64 max_leaf_size = 64u << 20;

    // On success atom holds the atom, the stream stands after it and
    // bytes_available is reduced by its size. AP4_ERROR_EOS when fewer bytes
    // than a header are left, AP4_FAILURE for a size that does not fit or
    // nesting too deep, AP4_ERROR_OUT_OF_MEMORY, or the stream's failure.
    AP4_Result CreateAtomFromStream(AP4_ByteStream& stream, AP4_LargeSize& bytes_available,
                                    std::unique_ptr<AP4_Atom>& atom);

private:
    std::unique_ptr<AP4_Atom> Create(ap4::AtomHeader& h, AP4_ByteStream& stream);
    std::unique_ptr<AP4_Atom> CreateLeaf(ap4::AtomHeader& h, AP4_ByteStream& stream);
    std::unique_ptr<AP4_Atom> CreateSampleEntry(ap4::AtomHeader& h, AP4_ByteStream& stream);
    // Reads the children that fill the rest of a container.
    void ReadChildren(AP4_ContainerAtom& container, AP4_ByteStream& stream);
    // The type of the atom that encloses the one being made; 0 at the top.
    AP4_UI32 Parent() const;

    std::vector<AP4_UI32> m_open_atoms;        // the atoms being made, innermost last
    AP4_UI32 m_handler_type{0};                // of the track being read
};
