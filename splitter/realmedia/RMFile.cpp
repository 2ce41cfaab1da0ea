#include "splitter/realmedia/RMFile.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/realmedia/RealVideoPieces.h"

#include <algorithm>

namespace {

constexpr DWORD chunk_header_size = 10;   // identifier, size, version
constexpr DWORD bare_realaudio = 0x2E7261FD;
constexpr DWORD index_record_size = 14;
constexpr int max_probed_packets = 1000;

constexpr DWORD id(char a, char b, char c, char d)
{
    return DWORD(BYTE(a)) << 24 | DWORD(BYTE(b)) << 16 | DWORD(BYTE(c)) << 8 | BYTE(d);
}

}

CRMFile::CRMFile(IAsyncReader* reader, HRESULT& result)
    : CBaseSplitterFile(reader, result, default_cache, RandomAccess::Required, Streaming::Yes)
{
    if (SUCCEEDED(result)) result = Init();
}

HRESULT CRMFile::ReadBE(DWORD& value, int bytes)
{
    BYTE buffer[4];
    if (Read(buffer, bytes) != S_OK) return E_FAIL;
    value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | buffer[i];
    return S_OK;
}

bool CRMFile::ReadString(std::string& out, int length_bytes, LONGLONG end)
{
    DWORD length = 0;
    if (FAILED(ReadBE(length, length_bytes)) || length > end - GetPos()) return false;
    out.assign(length, '\0');
    return length == 0 || Read(reinterpret_cast<BYTE*>(out.data()), length) == S_OK;
}

HRESULT CRMFile::Init()
{
    Seek(0);
    const LONGLONG length = GetLength();
    for (LONGLONG pos = 0; pos + chunk_header_size <= length;) {
        Seek(pos);
        DWORD chunk = 0, size = 0, version = 0;
        if (FAILED(ReadBE(chunk, 4)) || FAILED(ReadBE(size, 4)) || FAILED(ReadBE(version, 2))) break;
        if (pos == 0 && chunk != id('.', 'R', 'M', 'F')) return E_FAIL;
        if (chunk == bare_realaudio) return E_FAIL;
        const bool is_data = chunk == id('D', 'A', 'T', 'A');
        if (size < chunk_header_size || (pos + size > length && !is_data)) break;
        const LONGLONG end = std::min<LONGLONG>(pos + size, length);
        if (!ReadChunk(chunk, end)) break;
        pos += size;
    }
    if (m_mps.empty() && m_subs.empty()) return E_FAIL;
    ProbeFrameSizes();
    return S_OK;
}

bool CRMFile::ReadChunk(DWORD chunk, LONGLONG end)
{
    switch (chunk) {
    case id('P', 'R', 'O', 'P'): {
        DWORD v[9] = {}, streams = 0, flags = 0;
        for (DWORD& x : v)
            if (FAILED(ReadBE(x, 4))) return false;
        if (FAILED(ReadBE(streams, 2)) || FAILED(ReadBE(flags, 2))) return false;
        m_p = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], WORD(streams), WORD(flags)};
        return true;
    }
    case id('M', 'D', 'P', 'R'): return ReadMediaProperties(end);
    case id('C', 'O', 'N', 'T'):
        return ReadString(m_cd.title, 2, end) && ReadString(m_cd.author, 2, end) &&
               ReadString(m_cd.copyright, 2, end) && ReadString(m_cd.comment, 2, end);
    case id('D', 'A', 'T', 'A'): {
        RMFF::DataChunk dc;
        DWORD next = 0;
        if (FAILED(ReadBE(dc.nPackets, 4)) || FAILED(ReadBE(next, 4))) return false;
        dc.pos = GetPos();
        dc.end = end;
        m_dcs.push_back(dc);
        return true;
    }
    case id('I', 'N', 'D', 'X'): return ReadIndex(end);
    case id('.', 'S', 'U', 'B'): {
        RMFF::Subtitle sub;
        if (!ReadString(sub.name, 2, end) || !ReadString(sub.data, 4, end)) return false;
        m_subs.push_back(std::move(sub));
        return true;
    }
    default: return true;
    }
}

bool CRMFile::ReadMediaProperties(LONGLONG end)
{
    RMFF::MediaProperties mp;
    DWORD stream = 0, v[7] = {};
    if (FAILED(ReadBE(stream, 2))) return false;
    for (DWORD& x : v)
        if (FAILED(ReadBE(x, 4))) return false;
    mp.stream = WORD(stream);
    mp.maxBitRate = v[0], mp.avgBitRate = v[1], mp.maxPacketSize = v[2], mp.avgPacketSize = v[3];
    mp.tStart = v[4], mp.tPreroll = v[5], mp.tDuration = v[6];
    std::string type_data;
    if (!ReadString(mp.name, 1, end) || !ReadString(mp.mime, 1, end) || !ReadString(type_data, 4, end)) return false;
    mp.typeSpecData.assign(type_data.begin(), type_data.end());
    m_mps.push_back(std::move(mp));
    return true;
}

bool CRMFile::ReadIndex(LONGLONG end)
{
    DWORD count = 0, stream = 0, next = 0;
    if (FAILED(ReadBE(count, 4)) || FAILED(ReadBE(stream, 2)) || FAILED(ReadBE(next, 4))) return false;
    // Only the master stream's entries: its first video stream, else its first audio stream.
    auto master = std::find_if(m_mps.begin(), m_mps.end(), [](const auto& mp) { return mp.mime == "video/x-pn-realvideo"; });
    if (master == m_mps.end())
        master = std::find_if(m_mps.begin(), m_mps.end(), [](const auto& mp) { return mp.mime == "audio/x-pn-realaudio"; });
    if (master == m_mps.end() || master->stream != stream) return true;
    count = static_cast<DWORD>(std::min<LONGLONG>(count, (end - GetPos()) / index_record_size));
    for (DWORD i = 0; i < count; ++i) {
        DWORD version = 0;
        RMFF::IndexRecord ir;
        if (FAILED(ReadBE(version, 2)) || FAILED(ReadBE(ir.tStart, 4)) || FAILED(ReadBE(ir.ptrFilePos, 4)) ||
            FAILED(ReadBE(ir.packet, 4)))
            return false;
        m_irs.push_back(ir);
    }
    return true;
}

bool CRMFile::Read(RMFF::MediaPacketHeader& mph, bool with_data)
{
    mph = {};
    DWORD version = 0, length = 0, stream = 0, time = 0, flags = 0, skipped = 0;
    if (FAILED(ReadBE(version, 2))) return false;
    mph.version = WORD(version);
    if (version != 0 && version != 1) return true;   // no more is known of it
    // Version 1 has a 16-bit rule number where version 0 has a byte: its header is 13 bytes.
    const DWORD header = version == 0 ? 12 : 13;
    if (FAILED(ReadBE(length, 2)) || FAILED(ReadBE(stream, 2)) || FAILED(ReadBE(time, 4)) ||
        FAILED(ReadBE(skipped, version == 0 ? 1 : 2)) || FAILED(ReadBE(flags, 1)))
        return false;
    if (length < header) return false;
    mph.length = WORD(length);
    mph.stream = static_cast<int>(stream);
    mph.tStart = time;
    mph.flags = BYTE(flags);
    const DWORD size = length - header;
    if (size > GetRemaining()) return false;
    if (!with_data) {
        Seek(GetPos() + size);
        return true;
    }
    mph.data.resize(size);
    return size == 0 || Read(mph.data.data(), size) == S_OK;
}

void CRMFile::ProbeFrameSizes()
{
    const LONGLONG position = GetPos();
    for (auto& mp : m_mps) {
        if (mp.mime != "video/x-pn-realvideo" || mp.typeSpecData.size() < 12) continue;
        const BYTE* codec = mp.typeSpecData.data() + 8;
        if (!std::equal(codec, codec + 3, "RV4") || (codec[3] != '0' && codec[3] != '1')) continue;
        for (const auto& dc : m_dcs) {
            Seek(dc.pos);
            RMFF::MediaPacketHeader mph;
            bool found = false;
            for (int i = 0; i < max_probed_packets && GetPos() < dc.end && Read(mph); ++i) {
                if (mph.stream != mp.stream || mph.data.empty() || !(mph.flags & 2)) continue;
                std::size_t at = 0;
                RealVideoPiece piece;
                if (ReadRealVideoPiece(mph.data, at, piece)) ReadRealVideoPictureSize(piece.bytes, mp.width, mp.height);
                found = true;
                break;
            }
            if (found) break;
        }
    }
    Seek(position);
}
