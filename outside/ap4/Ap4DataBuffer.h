#pragma once
// AP4_DataBuffer: bytes the library hands out (sample data, decoder
// configurations, atom payloads).

#include "outside/ap4/Ap4Types.h"

#include <vector>

class AP4_DataBuffer {
public:
    AP4_DataBuffer() = default;
    AP4_DataBuffer(const AP4_UI08* data, AP4_Size size) : m_data(data, data + size) {}

    const AP4_UI08* GetData() const { return m_data.data(); }
    AP4_UI08* UseData() { return m_data.data(); }
    AP4_Size GetDataSize() const { return static_cast<AP4_Size>(m_data.size()); }
    // AP4_ERROR_OUT_OF_MEMORY when the bytes cannot be had; the buffer is then unchanged.
    AP4_Result SetDataSize(AP4_Size size);
    AP4_Result SetData(const AP4_UI08* data, AP4_Size size);

private:
    std::vector<AP4_UI08> m_data;
};
