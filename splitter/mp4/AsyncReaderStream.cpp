#include "splitter/mp4/AsyncReaderStream.h"

#include "splitter/base/BaseSplitterFile.h"

#include <algorithm>

AP4_Result AP4_AsyncReaderStream::ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read)
{
    bytes_read = 0;
    const LONGLONG n = std::min<LONGLONG>(bytes_to_read, m_file->GetRemaining());
    if (n <= 0) return AP4_ERROR_EOS;
    if (m_file->ByteRead(static_cast<BYTE*>(buffer), n) != S_OK) return AP4_ERROR_READ_FAILED;
    bytes_read = static_cast<AP4_Size>(n);
    return AP4_SUCCESS;
}

AP4_Result AP4_AsyncReaderStream::Seek(AP4_Position position)
{
    if (position > static_cast<AP4_Position>(INT64_MAX)) return AP4_FAILURE;
    m_file->Seek(static_cast<LONGLONG>(position));
    return m_file->GetPos() == static_cast<LONGLONG>(position) ? AP4_SUCCESS : AP4_FAILURE;
}

AP4_Result AP4_AsyncReaderStream::Tell(AP4_Position& position)
{
    position = static_cast<AP4_Position>(m_file->GetPos());
    return AP4_SUCCESS;
}

AP4_Result AP4_AsyncReaderStream::GetSize(AP4_LargeSize& size)
{
    size = static_cast<AP4_LargeSize>(std::max<LONGLONG>(m_file->GetLength(), 0));
    return AP4_SUCCESS;
}

void AP4_AsyncReaderStream::Release()
{
    if (--m_references == 0) delete this;
}
