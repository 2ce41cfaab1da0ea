#pragma once
// Byte buffers of the cache and downloader libraries, with big-endian
// readers and writers. Errors throw GeneralException (BaseException.h).

#include "platform/base/Types.h"

#include <memory>

// A byte buffer that either owns its bytes or borrows them from its caller.
class tBuffer {
public:
    tBuffer() = default;
    tBuffer(tBuffer&& other) noexcept;
    tBuffer& operator=(tBuffer&& other) noexcept;
    virtual ~tBuffer() = default;

    BYTE* Data() const { return m_data; }
    DWORD Capacity() const { return m_capacity; }
    bool OwnsData() const { return m_owned != nullptr; }
    DWORD Position() const { return m_position; }
    void SetPosition(DWORD position) { m_position = position; }

    // Points the buffer at bytes that stay owned by the caller (and must outlive it).
    void Borrow(BYTE* data, DWORD length);
    // Drops the bytes (freeing them when owned); capacity and position become 0.
    void Free();

protected:
    void Own(std::unique_ptr<BYTE[]> data, DWORD length);

private:
    std::unique_ptr<BYTE[]> m_owned;   // set only while the buffer owns m_data
    BYTE* m_data{nullptr};
    DWORD m_capacity{0};
    DWORD m_position{0};
};

// A stream over a buffer: the position is the write length while filling and
// the read cursor while reading. Numbers are big-endian.
class tStreamBuffer : public tBuffer {
public:
    // Code 6 for a zero length or while data is held; code 4 when memory runs out.
    void Allocate(DWORD length);
    // Replaces the held bytes by an owned copy of other's.
    void CopyFrom(const tBuffer& other);
    // Copies length bytes to offset without moving the position; code 2 past the capacity.
    DWORD WriteAt(DWORD offset, const BYTE* source, DWORD length);
    void PushUInt32(DWORD value);
    void PushUInt64(ULONGLONG value);
    DWORD PopUInt32();
    ULONGLONG PopUInt64();
    void ReadBytes(BYTE* destination, DWORD length);
    // Code 7 past the capacity.
    void Skip(DWORD length);

private:
    bool Fits(DWORD length) const;
};
