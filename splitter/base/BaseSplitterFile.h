#pragma once
// CBaseSplitterFile: the buffered, position-keeping reader every parser reads
// its source through, over the upstream IAsyncReader. Byte reads go through
// one cache window; bit reads are most significant bit first, so they also
// read big-endian numbers.

#include "platform/com/ComPtr.h"
#include "platform/dshow/Interfaces.h"

#include <memory>

enum class RandomAccess { NotRequired, Required };
enum class Streaming { No, Yes };

class CBaseSplitterFile {
public:
    // BitRead's answer when a byte cannot be read.
    static constexpr ULONGLONG failed_bit_read = 0x1F7FFFFFFF;
    static constexpr int default_cache = 2048;

    CBaseSplitterFile(IAsyncReader* reader, HRESULT& result, int cache_length, RandomAccess random_access,
                      Streaming streaming);
    virtual ~CBaseSplitterFile();
    CBaseSplitterFile(const CBaseSplitterFile&) = delete;
    CBaseSplitterFile& operator=(const CBaseSplitterFile&) = delete;

    virtual HRESULT Read(BYTE* buffer, LONGLONG length);
    virtual void OnComplete() {}
    virtual void Seek(LONGLONG position);

    bool SetCacheSize(int size);
    LONGLONG GetPos() const;
    LONGLONG GetAvailable();
    LONGLONG GetLength();
    LONGLONG GetRemaining();
    bool IsStreaming() const { return m_streaming; }
    bool IsRandomAccess() const { return m_random_access; }
    // Asks the source again whether all of it is there now (then OnComplete runs, once).
    bool IsComplete();

    HRESULT ByteRead(BYTE* buffer, LONGLONG length);
    ULONGLONG BitRead(int bits, bool peek = false);
    void BitByteAlign();
    void BitFlush();

private:
    HRESULT read_uncached(BYTE* buffer, LONGLONG length);

    plat::ComPtr<IAsyncReader> m_reader;
    std::unique_ptr<BYTE[]> m_cache;
    LONGLONG m_cache_pos{0};
    LONGLONG m_cache_len{0};
    LONGLONG m_cache_total{0};
    const bool m_streaming;
    bool m_random_access{false};
    LONGLONG m_pos{0};
    LONGLONG m_len{0};
    ULONGLONG m_bit_buffer{0};
    int m_bit_count{0};
};
