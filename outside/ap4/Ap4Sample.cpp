#include "outside/ap4/Ap4Sample.h"

#include "outside/ap4/Ap4DataBuffer.h"

AP4_Result AP4_Sample::ReadData(AP4_DataBuffer& data) const
{
    if (!m_stream.get()) return AP4_FAILURE;
    AP4_LargeSize length = 0;
    AP4_Result r = m_stream->GetSize(length);
    if (AP4_FAILED(r)) return r;
    // The table's numbers are checked before anything is allocated for them.
    if (m_offset > length || m_size > length - m_offset) return AP4_FAILURE;
    if (AP4_FAILED(r = data.SetDataSize(m_size))) return r;
    if (AP4_FAILED(r = m_stream->Seek(m_offset))) return r;
    return m_size ? m_stream->Read(data.UseData(), m_size) : AP4_SUCCESS;
}
