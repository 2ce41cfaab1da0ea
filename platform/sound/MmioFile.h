#pragma once
// Multimedia I/O over a file's or a resource's bytes: reading, seeking and
// walking RIFF chunks. Every step stays inside the bytes, whatever sizes a
// damaged file announces.

#include "platform/base/Types.h"

#include <optional>
#include <span>
#include <string>

namespace plat {

using FOURCC = DWORD;

constexpr FOURCC make_fourcc(const char (&c)[5])
{
    return FOURCC(BYTE(c[0])) | FOURCC(BYTE(c[1])) << 8 | FOURCC(BYTE(c[2])) << 16 | FOURCC(BYTE(c[3])) << 24;
}

struct MMCKINFO {
    FOURCC ckid = 0;
    DWORD cksize = 0;
    FOURCC fccType = 0;      // the form of a "RIFF" or "LIST" chunk
    DWORD dwDataOffset = 0;  // where the chunk's data starts
};

enum class Descend { FindChunk, FindRiff };

class MmioFile {
public:
    // Nothing when the file cannot be read.
    static std::optional<MmioFile> open_file(const std::string& path);
    static MmioFile open_memory(std::string bytes) { return MmioFile(std::move(bytes)); }

    // Bytes read: fewer than asked at the end of the data.
    std::size_t read(std::span<std::byte> into);
    // False when the offset lies past the end.
    bool seek(std::size_t offset);
    std::size_t position() const { return m_at; }
    std::size_t size() const { return m_bytes.size(); }

    // Finds the chunk with ck.ckid (FindRiff: "RIFF" of form ck.fccType) from
    // the current position up to the end of parent, and stands at its data.
    bool descend(MMCKINFO& ck, const MMCKINFO* parent, Descend how);
    // Moves past the chunk's data and its pad byte.
    bool ascend(const MMCKINFO& ck);

private:
    explicit MmioFile(std::string bytes) : m_bytes(std::move(bytes)) {}
    std::string m_bytes;
    std::size_t m_at = 0;
};

}
