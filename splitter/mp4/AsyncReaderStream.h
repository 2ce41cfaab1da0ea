#pragma once
// AP4_AsyncReaderStream: the atom library's byte stream over the splitter's
// buffered reader, read-only. It does not own the reader.

#include "outside/ap4/Ap4ByteStream.h"

class CBaseSplitterFile;

class AP4_AsyncReaderStream final : public AP4_ByteStream {
public:
    // Starts with one reference, the caller's.
    explicit AP4_AsyncReaderStream(CBaseSplitterFile* file) : m_file(file) {}

    AP4_Result ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read) override;
    AP4_Result WritePartial(const void*, AP4_Size, AP4_Size& bytes_written) override
    {
        bytes_written = 0;
        return AP4_ERROR_WRITE_FAILED;
    }
    AP4_Result Seek(AP4_Position position) override;
    AP4_Result Tell(AP4_Position& position) override;
    AP4_Result GetSize(AP4_LargeSize& size) override;
    // Not locked: only the atom library's file object, on one thread at a time, uses the stream.
    void AddReference() override { ++m_references; }
    void Release() override;

private:
    ~AP4_AsyncReaderStream() override = default;

    int m_references{1};
    CBaseSplitterFile* const m_file;
};
