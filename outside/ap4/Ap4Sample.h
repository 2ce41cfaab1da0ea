#pragma once
// AP4_Sample: where one sample lies in the file and when it plays.

#include "outside/ap4/Ap4ByteStream.h"

class AP4_DataBuffer;

class AP4_Sample {
public:
    AP4_Sample() = default;
    AP4_Sample(AP4_ByteStream* stream, AP4_Position offset, AP4_Size size, int description_index, AP4_UI64 dts,
               AP4_SI64 cts, AP4_UI32 duration, bool sync)
        : m_stream(stream), m_offset(offset), m_size(size), m_description_index(description_index), m_dts(dts),
          m_cts(cts), m_duration(duration), m_sync(sync)
    {
    }

    AP4_Position GetOffset() const { return m_offset; }
    AP4_Size GetSize() const { return m_size; }
    // From 0; -1 when the chunk names no description.
    int GetDescriptionIndex() const { return m_description_index; }
    AP4_UI64 GetDts() const { return m_dts; }
    AP4_SI64 GetCts() const { return m_cts; }
    AP4_UI32 GetDuration() const { return m_duration; }
    bool IsSync() const { return m_sync; }
    // Reads the sample's bytes; AP4_FAILURE when they lie beyond the end of the stream.
    AP4_Result ReadData(AP4_DataBuffer& data) const;

private:
    AP4_StreamReference m_stream;
    AP4_Position m_offset{0};
    AP4_Size m_size{0};
    int m_description_index{-1};
    AP4_UI64 m_dts{0};
    AP4_SI64 m_cts{0};
    AP4_UI32 m_duration{0};
    bool m_sync{true};
};
