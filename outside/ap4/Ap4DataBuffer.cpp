#include "outside/ap4/Ap4DataBuffer.h"

#include <new>

AP4_Result AP4_DataBuffer::SetDataSize(AP4_Size size)
{
    try {
        m_data.resize(size);
    } catch (const std::bad_alloc&) {
        return AP4_ERROR_OUT_OF_MEMORY;
    }
    return AP4_SUCCESS;
}

AP4_Result AP4_DataBuffer::SetData(const AP4_UI08* data, AP4_Size size)
{
    try {
        m_data.assign(data, data + size);
    } catch (const std::bad_alloc&) {
        return AP4_ERROR_OUT_OF_MEMORY;
    }
    return AP4_SUCCESS;
}
