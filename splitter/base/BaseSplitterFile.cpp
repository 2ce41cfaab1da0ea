#include "splitter/base/BaseSplitterFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

CBaseSplitterFile::CBaseSplitterFile(IAsyncReader* reader, HRESULT& result, int cache_length,
                                     RandomAccess random_access, Streaming streaming)
    : m_reader(reader), m_streaming(streaming == Streaming::Yes)
{
    if (!reader) {
        result = E_UNEXPECTED;
        return;
    }
    LONGLONG total = 0, available = 0;
    HRESULT hr = reader->Length(&total, &available);
    m_random_access = total > 0 && total == available;
    m_len = total;
    if (FAILED(hr) || (random_access == RandomAccess::Required && !m_random_access) || total < 0) {
        result = E_FAIL;
        return;
    }
    result = SetCacheSize(cache_length) ? S_OK : E_OUTOFMEMORY;
}

CBaseSplitterFile::~CBaseSplitterFile() = default;

bool CBaseSplitterFile::SetCacheSize(int size)
{
    if (size < default_cache) {
        // Smaller windows reuse the buffer there is; without one, reads go straight through.
        m_cache_total = std::max(size, 0);
        m_cache_len = 0;
        return true;
    }
    m_cache.reset();
    m_cache_total = 0;
    m_cache.reset(new (std::nothrow) BYTE[static_cast<std::size_t>(size)]);
    if (!m_cache) return false;
    m_cache_total = size;
    m_cache_len = 0;
    return true;
}

bool CBaseSplitterFile::IsComplete()
{
    if (m_random_access || !m_reader) return m_random_access;
    LONGLONG total = 0, available = 0;
    if (SUCCEEDED(m_reader->Length(&total, &available)) && total == available && total > 0) {
        m_random_access = true;
        OnComplete();
    }
    return m_random_access;
}

LONGLONG CBaseSplitterFile::GetPos() const { return m_pos - (m_bit_count >> 3); }

LONGLONG CBaseSplitterFile::GetAvailable()
{
    LONGLONG total = 0, available = m_pos;
    if (m_reader) m_reader->Length(&total, &available);
    return available;
}

LONGLONG CBaseSplitterFile::GetLength()
{
    if (m_streaming && m_reader) {
        LONGLONG available = 0;
        m_reader->Length(&m_len, &available);
    }
    return m_len;
}

LONGLONG CBaseSplitterFile::GetRemaining() { return std::max<LONGLONG>(GetAvailable() - GetPos(), 0); }

void CBaseSplitterFile::Seek(LONGLONG position)
{
    LONGLONG available = GetAvailable();
    m_pos = std::clamp<LONGLONG>(position, 0, std::max<LONGLONG>(available, 0));
    m_bit_buffer = 0;
    m_bit_count = 0;
}

HRESULT CBaseSplitterFile::read_uncached(BYTE* buffer, LONGLONG length)
{
    // The pull interface reads at most a LONG at once.
    while (length > 0) {
        LONG n = static_cast<LONG>(std::min<LONGLONG>(length, std::numeric_limits<LONG>::max()));
        HRESULT hr = m_reader->SyncRead(m_pos, n, buffer);
        if (hr != S_OK) {
            // A short read ends where the source's bytes end, never beyond them.
            m_pos = std::clamp(GetAvailable(), m_pos, m_pos + n);
            return hr;
        }
        m_pos += n;
        buffer += n;
        length -= n;
    }
    return S_OK;
}

HRESULT CBaseSplitterFile::Read(BYTE* buffer, LONGLONG length)
{
    if (!m_reader) return E_NOINTERFACE;
    if (length < 0) return E_INVALIDARG;
    if (length == 0) return S_OK;
    IsComplete();
    if (m_cache_total == 0 || !m_cache) return read_uncached(buffer, length);

    HRESULT hr = S_OK;
    if (m_pos >= m_cache_pos && m_pos < m_cache_pos + m_cache_len) {
        LONGLONG n = std::min(length, m_cache_pos + m_cache_len - m_pos);
        std::memcpy(buffer, m_cache.get() + (m_pos - m_cache_pos), static_cast<std::size_t>(n));
        m_pos += n;
        buffer += n;
        length -= n;
    }
    if (length > m_cache_total) {
        // Whole windows go straight into the caller's buffer, in one read; the last one through the cache.
        const LONGLONG bulk = (length - 1) / m_cache_total * m_cache_total;
        const LONGLONG from = m_pos;
        hr = read_uncached(buffer, bulk);
        if (hr != S_OK) {
            m_pos = from;
            return hr;
        }
        buffer += bulk;
        length -= bulk;
    }
    while (length > 0) {
        LONGLONG window = std::min(GetAvailable() - m_pos, m_cache_total);
        LONGLONG n = std::min(length, window);
        if (n <= 0) return S_FALSE;
        hr = m_reader->SyncRead(m_pos, static_cast<LONG>(window), m_cache.get());
        if (FAILED(hr)) return hr;
        m_cache_pos = m_pos;
        m_cache_len = window;
        std::memcpy(buffer, m_cache.get(), static_cast<std::size_t>(n));
        m_pos += n;
        buffer += n;
        length -= n;
    }
    return hr;
}

HRESULT CBaseSplitterFile::ByteRead(BYTE* buffer, LONGLONG length)
{
    Seek(GetPos());
    return Read(buffer, length);
}

ULONGLONG CBaseSplitterFile::BitRead(int bits, bool peek)
{
    if (bits <= 0) return 0;
    bits = std::min(bits, 64);
    if (peek) {
        const LONGLONG pos = m_pos;
        const ULONGLONG buffer = m_bit_buffer;
        const int count = m_bit_count;
        ULONGLONG value = BitRead(bits, false);
        m_pos = pos;
        m_bit_buffer = buffer;
        m_bit_count = count;
        return value;
    }
    // Wide reads go in two halves so that the 64-bit buffer never overflows.
    if (bits > 32) {
        ULONGLONG high = BitRead(bits - 32, false);
        if (high == failed_bit_read) return failed_bit_read;
        ULONGLONG low = BitRead(32, false);
        return low == failed_bit_read ? failed_bit_read : high << 32 | low;
    }
    while (m_bit_count < bits) {
        BYTE b = 0;
        if (Read(&b, 1) != S_OK) return failed_bit_read;
        m_bit_buffer = m_bit_buffer << 8 | b;
        m_bit_count += 8;
    }
    const int shift = m_bit_count - bits;
    const ULONGLONG value = (m_bit_buffer >> shift) & ((1ULL << bits) - 1);
    m_bit_count = shift;
    m_bit_buffer &= (1ULL << shift) - 1;
    return value;
}

void CBaseSplitterFile::BitByteAlign() { m_bit_count &= ~7; }

void CBaseSplitterFile::BitFlush() { m_bit_count = 0; }
