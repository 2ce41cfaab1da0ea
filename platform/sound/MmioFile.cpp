#include "platform/sound/MmioFile.h"

#include "platform/fs/Files.h"

#include <algorithm>
#include <cstring>

namespace plat {

namespace {

DWORD le32(const std::string& bytes, std::size_t at)
{
    DWORD v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | BYTE(bytes[at + std::size_t(i)]);
    return v;
}

}

std::optional<MmioFile> MmioFile::open_file(const std::string& path)
{
    FileData data = read_file(path);
    if (!data)
        return std::nullopt;
    return MmioFile(std::move(data.bytes));
}

std::size_t MmioFile::read(std::span<std::byte> into)
{
    const std::size_t n = std::min(into.size(), m_bytes.size() - m_at);
    std::memcpy(into.data(), m_bytes.data() + m_at, n);
    m_at += n;
    return n;
}

bool MmioFile::seek(std::size_t offset)
{
    if (offset > m_bytes.size())
        return false;
    m_at = offset;
    return true;
}

bool MmioFile::descend(MMCKINFO& ck, const MMCKINFO* parent, Descend how)
{
    const FOURCC want = how == Descend::FindRiff ? make_fourcc("RIFF") : ck.ckid;
    // A parent that announces more than there is ends where the bytes end.
    const std::size_t end = parent ? std::min<std::size_t>(m_bytes.size(), std::size_t(parent->dwDataOffset) + parent->cksize)
                                   : m_bytes.size();
    std::size_t at = m_at;
    while (at <= end && end - at >= 8) {
        const FOURCC id = le32(m_bytes, at);
        const DWORD size = le32(m_bytes, at + 4);
        const bool riff_ok = how != Descend::FindRiff || (end - at >= 12 && le32(m_bytes, at + 8) == ck.fccType);
        if (id == want && riff_ok) {
            ck.ckid = id;
            ck.cksize = size;
            ck.dwDataOffset = DWORD(at + 8);
            m_at = at + 8;
            if (how == Descend::FindRiff) {
                ck.fccType = le32(m_bytes, at + 8);
                m_at += 4;
            }
            return true;
        }
        const std::size_t skip = 8 + std::size_t(size) + (size & 1);
        if (skip > end - at)
            return false;
        at += skip;
    }
    return false;
}

bool MmioFile::ascend(const MMCKINFO& ck)
{
    const std::size_t after = std::size_t(ck.dwDataOffset) + ck.cksize + (ck.cksize & 1);
    m_at = std::min(after, m_bytes.size());
    return after <= m_bytes.size() + 1;
}

}
