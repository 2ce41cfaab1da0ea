#pragma once
// AP4_ByteStream: what the atom library reads through, counted by
// AddReference/Release; AP4_MemoryByteStream: one over bytes in memory.
// Typed reads are big-endian, as every atom field is.

#include "outside/ap4/Ap4Types.h"

#include <utility>
#include <vector>

class AP4_ByteStream {
public:
    AP4_ByteStream() = default;
    AP4_ByteStream(const AP4_ByteStream&) = delete;
    AP4_ByteStream& operator=(const AP4_ByteStream&) = delete;

    // Up to bytes_to_read bytes; AP4_ERROR_EOS when none remain.
    virtual AP4_Result ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read) = 0;
    virtual AP4_Result WritePartial(const void* buffer, AP4_Size bytes_to_write, AP4_Size& bytes_written) = 0;
    virtual AP4_Result Seek(AP4_Position position) = 0;
    virtual AP4_Result Tell(AP4_Position& position) = 0;
    virtual AP4_Result GetSize(AP4_LargeSize& size) = 0;
    virtual void AddReference() = 0;
    virtual void Release() = 0;

    // All of bytes_to_read bytes, or AP4_ERROR_EOS when the stream ends first.
    AP4_Result Read(void* buffer, AP4_Size bytes_to_read);
    AP4_Result Write(const void* buffer, AP4_Size bytes_to_write);
    AP4_Result ReadUI08(AP4_UI08& value);
    AP4_Result ReadUI16(AP4_UI16& value);
    AP4_Result ReadUI24(AP4_UI32& value);
    AP4_Result ReadUI32(AP4_UI32& value);
    AP4_Result ReadUI64(AP4_UI64& value);

protected:
    virtual ~AP4_ByteStream() = default;   // Release deletes
};

// Owns one reference to a stream.
class AP4_StreamReference {
public:
    AP4_StreamReference() = default;
    // Takes a new reference.
    explicit AP4_StreamReference(AP4_ByteStream* stream) : m_stream(stream)
    {
        if (m_stream) m_stream->AddReference();
    }
    AP4_StreamReference(const AP4_StreamReference& other) : AP4_StreamReference(other.m_stream) {}
    AP4_StreamReference& operator=(AP4_StreamReference other)
    {
        std::swap(m_stream, other.m_stream);
        return *this;
    }
    ~AP4_StreamReference()
    {
        if (m_stream) m_stream->Release();
    }
    // Adopts a reference the caller holds.
    static AP4_StreamReference adopt(AP4_ByteStream* stream)
    {
        AP4_StreamReference r;
        r.m_stream = stream;
        return r;
    }
    AP4_ByteStream* get() const { return m_stream; }
    AP4_ByteStream* operator->() const { return m_stream; }

private:
    AP4_ByteStream* m_stream{nullptr};
};

class AP4_MemoryByteStream final : public AP4_ByteStream {
public:
    // A stream over a copy of the bytes, holding one reference.
    AP4_MemoryByteStream(const AP4_UI08* data, AP4_Size size);
    explicit AP4_MemoryByteStream(std::vector<AP4_UI08> data);

    AP4_Result ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read) override;
    AP4_Result WritePartial(const void* buffer, AP4_Size bytes_to_write, AP4_Size& bytes_written) override;
    AP4_Result Seek(AP4_Position position) override;
    AP4_Result Tell(AP4_Position& position) override;
    AP4_Result GetSize(AP4_LargeSize& size) override;
    void AddReference() override { ++m_references; }
    void Release() override;

private:
    ~AP4_MemoryByteStream() override = default;

    std::vector<AP4_UI08> m_data;
    AP4_Position m_position{0};
    int m_references{1};
};
