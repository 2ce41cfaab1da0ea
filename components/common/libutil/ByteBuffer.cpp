#include "ByteBuffer.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace LibUtil {

namespace {

DWORD checked_length(std::size_t length)
{
    if (length > std::numeric_limits<DWORD>::max())
        throw std::length_error("byte buffer longer than 32 bits");
    return static_cast<DWORD>(length);
}

}

ByteBuffer::ByteBuffer(const BYTE* data, std::size_t length, Storage storage)
{
    if (!data)
        return;
    if (storage == Storage::Borrow) {
        m_length = checked_length(length);
        m_data = data;
        m_borrowed = true;
        return;
    }
    own(std::vector<BYTE>(data, data + length), length);
}

ByteBuffer::ByteBuffer(std::string_view text, Storage storage)
    : ByteBuffer(reinterpret_cast<const BYTE*>(text.data()), text.size(), storage)
{
}

ByteBuffer::ByteBuffer(std::vector<BYTE>&& bytes)
{
    std::size_t length = bytes.size();
    own(std::move(bytes), length);
}

ByteBuffer::ByteBuffer(const ByteBuffer& other) : ByteBuffer(other.m_data, other.m_length, Storage::Copy) {}

ByteBuffer& ByteBuffer::operator=(const ByteBuffer& other)
{
    if (this != &other)
        *this = ByteBuffer(other);
    return *this;
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept { *this = std::move(other); }

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept
{
    if (this == &other)
        return *this;
    // Moving a vector keeps its heap block, so m_data stays valid.
    m_owned = std::move(other.m_owned);
    m_data = std::exchange(other.m_data, nullptr);
    m_length = std::exchange(other.m_length, 0);
    m_borrowed = std::exchange(other.m_borrowed, false);
    other.m_owned.clear();
    return *this;
}

void ByteBuffer::Clear()
{
    m_owned = {};
    m_data = nullptr;
    m_length = 0;
    m_borrowed = false;
}

std::string_view ByteBuffer::View() const
{
    return m_data ? std::string_view(reinterpret_cast<const char*>(m_data), m_length) : std::string_view();
}

std::string ByteBuffer::ToString() const { return std::string(View()); }

void ByteBuffer::own(std::vector<BYTE>&& bytes, std::size_t length)
{
    m_length = checked_length(length);
    m_owned = std::move(bytes);
    m_owned.push_back(0);
    m_data = m_owned.data();
    m_borrowed = false;
}

}
