#include "StreamBuffer.h"

#include "BaseException.h"

#include <cstring>
#include <new>
#include <utility>

tBuffer::tBuffer(tBuffer&& other) noexcept
    : m_owned(std::move(other.m_owned)),
      m_data(std::exchange(other.m_data, nullptr)),
      m_capacity(std::exchange(other.m_capacity, 0)),
      m_position(std::exchange(other.m_position, 0))
{
}

tBuffer& tBuffer::operator=(tBuffer&& other) noexcept
{
    if (this != &other) {
        m_owned = std::move(other.m_owned);
        m_data = std::exchange(other.m_data, nullptr);
        m_capacity = std::exchange(other.m_capacity, 0);
        m_position = std::exchange(other.m_position, 0);
    }
    return *this;
}

void tBuffer::Borrow(BYTE* data, DWORD length)
{
    m_owned.reset();
    m_data = data;
    m_capacity = data ? length : 0;
    m_position = 0;
}

void tBuffer::Free()
{
    m_owned.reset();
    m_data = nullptr;
    m_capacity = 0;
    m_position = 0;
}

void tBuffer::Own(std::unique_ptr<BYTE[]> data, DWORD length)
{
    m_data = data.get();
    m_owned = std::move(data);
    m_capacity = length;
    m_position = 0;
}

void tStreamBuffer::Allocate(DWORD length)
{
    if (length == 0 || Data() != nullptr) throw GeneralException(GENERAL_ERROR_BAD_ALLOCATE);
    std::unique_ptr<BYTE[]> bytes(new (std::nothrow) BYTE[length]);
    if (!bytes) throw GeneralException(GENERAL_ERROR_NO_MEMORY);
    Own(std::move(bytes), length);
}

void tStreamBuffer::CopyFrom(const tBuffer& other)
{
    if (&other == this) return;
    Free();
    if (other.Capacity() == 0) return;
    Allocate(other.Capacity());
    WriteAt(0, other.Data(), other.Capacity());
}

DWORD tStreamBuffer::WriteAt(DWORD offset, const BYTE* source, DWORD length)
{
    if (Data() == nullptr || offset >= Capacity() || length > Capacity() - offset)
        throw GeneralException(GENERAL_ERROR_WRITE_PAST_END);
    if (length) std::memcpy(Data() + offset, source, length);
    return length;
}

bool tStreamBuffer::Fits(DWORD length) const
{
    return Data() != nullptr && Position() <= Capacity() && length <= Capacity() - Position();
}

void tStreamBuffer::PushUInt32(DWORD value)
{
    if (!Fits(4)) throw GeneralException(GENERAL_ERROR_WRITE_PAST_END);
    BYTE* at = Data() + Position();
    for (int i = 0; i < 4; ++i) at[i] = static_cast<BYTE>(value >> (24 - 8 * i));
    SetPosition(Position() + 4);
}

void tStreamBuffer::PushUInt64(ULONGLONG value)
{
    if (!Fits(8)) throw GeneralException(GENERAL_ERROR_WRITE_PAST_END);
    PushUInt32(static_cast<DWORD>(value >> 32));
    PushUInt32(static_cast<DWORD>(value));
}

DWORD tStreamBuffer::PopUInt32()
{
    if (!Fits(4)) throw GeneralException(GENERAL_ERROR_READ_PAST_END);
    const BYTE* at = Data() + Position();
    DWORD value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | at[i];
    SetPosition(Position() + 4);
    return value;
}

ULONGLONG tStreamBuffer::PopUInt64()
{
    if (!Fits(8)) throw GeneralException(GENERAL_ERROR_READ_PAST_END);
    const ULONGLONG high = PopUInt32();
    return high << 32 | PopUInt32();
}

void tStreamBuffer::ReadBytes(BYTE* destination, DWORD length)
{
    if (!Fits(length)) throw GeneralException(GENERAL_ERROR_READ_PAST_END);
    if (length) std::memcpy(destination, Data() + Position(), length);
    SetPosition(Position() + length);
}

void tStreamBuffer::Skip(DWORD length)
{
    if (!Fits(length)) throw GeneralException(GENERAL_ERROR_SKIP_PAST_END);
    SetPosition(Position() + length);
}
