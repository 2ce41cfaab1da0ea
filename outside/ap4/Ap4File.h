#pragma once
// AP4_File: the top-level atoms of a stream, read with the default atom
// factory, and the movie of its first moov. Reading stops at the first atom
// that does not fit the stream, so garbage is refused after one header.

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4ByteStream.h"

#include <memory>

class AP4_Movie;

class AP4_File final : public AP4_AtomParent {
public:
    // Takes its own reference to the stream, which also serves the samples.
    explicit AP4_File(AP4_ByteStream& stream);
    ~AP4_File() override;

    // Null when the stream holds no movie atom.
    AP4_Movie* GetMovie() const { return m_movie.get(); }
    // AP4_ERROR_OUT_OF_MEMORY when reading ran out of memory, else AP4_SUCCESS.
    AP4_Result GetReadResult() const { return m_read_result; }

private:
    AP4_StreamReference m_stream;
    std::unique_ptr<AP4_Movie> m_movie;
    AP4_Result m_read_result{AP4_SUCCESS};
};
