#include "outside/ap4/Ap4ByteStream.h"

#include <algorithm>
#include <cstring>

AP4_Result AP4_ByteStream::Read(void* buffer, AP4_Size bytes_to_read)
{
    auto* out = static_cast<AP4_UI08*>(buffer);
    while (bytes_to_read > 0) {
        AP4_Size got = 0;
        const AP4_Result r = ReadPartial(out, bytes_to_read, got);
        if (AP4_FAILED(r)) return r;
        if (got == 0) return AP4_ERROR_EOS;
        out += got;
        bytes_to_read -= got;
    }
    return AP4_SUCCESS;
}

AP4_Result AP4_ByteStream::Write(const void* buffer, AP4_Size bytes_to_write)
{
    const auto* in = static_cast<const AP4_UI08*>(buffer);
    while (bytes_to_write > 0) {
        AP4_Size put = 0;
        const AP4_Result r = WritePartial(in, bytes_to_write, put);
        if (AP4_FAILED(r)) return r;
        if (put == 0) return AP4_ERROR_WRITE_FAILED;
        in += put;
        bytes_to_write -= put;
    }
    return AP4_SUCCESS;
}

namespace {

template <int Bytes, class T>
AP4_Result read_big_endian(AP4_ByteStream& s, T& value)
{
    AP4_UI08 b[Bytes];
    const AP4_Result r = s.Read(b, Bytes);
    if (AP4_FAILED(r)) return r;
    T v = 0;
    for (AP4_UI08 byte : b) v = static_cast<T>(v << 8 | byte);
    value = v;
    return AP4_SUCCESS;
}

}

AP4_Result AP4_ByteStream::ReadUI08(AP4_UI08& value) { return read_big_endian<1>(*this, value); }
AP4_Result AP4_ByteStream::ReadUI16(AP4_UI16& value) { return read_big_endian<2>(*this, value); }
AP4_Result AP4_ByteStream::ReadUI24(AP4_UI32& value) { return read_big_endian<3>(*this, value); }
AP4_Result AP4_ByteStream::ReadUI32(AP4_UI32& value) { return read_big_endian<4>(*this, value); }
AP4_Result AP4_ByteStream::ReadUI64(AP4_UI64& value) { return read_big_endian<8>(*this, value); }

AP4_MemoryByteStream::AP4_MemoryByteStream(const AP4_UI08* data, AP4_Size size) : m_data(data, data + size) {}

AP4_MemoryByteStream::AP4_MemoryByteStream(std::vector<AP4_UI08> data) : m_data(std::move(data)) {}

AP4_Result AP4_MemoryByteStream::ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read)
{
    bytes_read = 0;
    if (m_position >= m_data.size()) return AP4_ERROR_EOS;
    bytes_read = static_cast<AP4_Size>(std::min<AP4_Position>(bytes_to_read, m_data.size() - m_position));
    std::memcpy(buffer, m_data.data() + m_position, bytes_read);
    m_position += bytes_read;
    return AP4_SUCCESS;
}

AP4_Result AP4_MemoryByteStream::WritePartial(const void* buffer, AP4_Size bytes_to_write, AP4_Size& bytes_written)
{
    const auto* in = static_cast<const AP4_UI08*>(buffer);
    if (m_position + bytes_to_write > m_data.size()) m_data.resize(m_position + bytes_to_write);
    std::copy(in, in + bytes_to_write, m_data.begin() + static_cast<std::ptrdiff_t>(m_position));
    m_position += bytes_to_write;
    bytes_written = bytes_to_write;
    return AP4_SUCCESS;
}

AP4_Result AP4_MemoryByteStream::Seek(AP4_Position position)
{
    if (position > m_data.size()) return AP4_FAILURE;
    m_position = position;
    return AP4_SUCCESS;
}

AP4_Result AP4_MemoryByteStream::Tell(AP4_Position& position)
{
    position = m_position;
    return AP4_SUCCESS;
}

AP4_Result AP4_MemoryByteStream::GetSize(AP4_LargeSize& size)
{
    size = m_data.size();
    return AP4_SUCCESS;
}

void AP4_MemoryByteStream::Release()
{
    if (--m_references == 0) delete this;
}
