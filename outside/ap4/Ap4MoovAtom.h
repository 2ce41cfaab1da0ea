#pragma once
// moov: the movie header. A compressed header (cmov holding dcom "zlib" and
// cmvd) is inflated and read as if it stood in the file: its atoms become
// this atom's children, and a movie atom among them gives up its children
// to this one.

#include "outside/ap4/Ap4Atom.h"

#include <cstddef>
#include <vector>

class AP4_MoovAtom final : public AP4_ContainerAtom {
public:
    // The most a compressed movie header may inflate to, whatever its cmvd says.
    static constexpr std::size_t max_inflated_header = 64u << 20;

    explicit AP4_MoovAtom(const ap4::AtomHeader& h) : AP4_ContainerAtom(h) {}

    // Called by the factory once the children were read: inflates a
    // compressed header, then gathers the track atoms.
    void AdoptCompressedHeader(AP4_DefaultAtomFactory& factory);
    // The "trak" children, in file order.
    const std::vector<AP4_ContainerAtom*>& GetTrakAtoms() const { return m_traks; }

private:
    void MoveInnerMovieChildren();

    std::vector<AP4_ContainerAtom*> m_traks;   // children, owned as such
};
