#include "outside/ap4/Ap4File.h"

#include "outside/ap4/Ap4AtomFactory.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4Track.h"

AP4_File::AP4_File(AP4_ByteStream& stream) : m_stream(&stream)
{
    AP4_LargeSize size = 0;
    AP4_Position start = 0;
    if (AP4_FAILED(stream.GetSize(size)) || AP4_FAILED(stream.Tell(start)) || start > size) return;
    AP4_DefaultAtomFactory factory;
    AP4_LargeSize left = size - start;
    for (;;) {
        std::unique_ptr<AP4_Atom> atom;
        const AP4_Result r = factory.CreateAtomFromStream(stream, left, atom);
        if (r == AP4_ERROR_OUT_OF_MEMORY) m_read_result = r;
        if (AP4_FAILED(r)) break;
        AddChild(std::move(atom));
    }
    if (m_read_result != AP4_SUCCESS) return;
    if (auto* moov = dynamic_cast<AP4_MoovAtom*>(GetChild(AP4_ATOM_TYPE('m', 'o', 'o', 'v'))))
        m_movie = std::make_unique<AP4_Movie>(moov, m_stream.get());
}

AP4_File::~AP4_File() = default;
