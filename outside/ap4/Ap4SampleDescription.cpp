#include "outside/ap4/Ap4SampleDescription.h"

#include "outside/ap4/Ap4EsdsAtom.h"
#include "outside/ap4/Ap4SampleEntry.h"

AP4_UnknownSampleDescription::AP4_UnknownSampleDescription(AP4_SampleEntry* entry)
    : AP4_SampleDescription(TYPE_UNKNOWN, entry->GetType()), m_entry(entry)
{
}

AP4_MpegSampleDescription::AP4_MpegSampleDescription(AP4_UI32 format, AP4_UI08 stream_type,
                                                     const AP4_DecoderConfigDescriptor& config)
    : AP4_SampleDescription(TYPE_MPEG, format), m_stream_type(stream_type),
      m_object_type(config.GetObjectTypeIndication()), m_buffer_size(config.GetBufferSize()),
      m_max_bitrate(config.GetMaxBitrate()), m_avg_bitrate(config.GetAvgBitrate()),
      m_decoder_info(config.GetDecoderSpecificInfo())
{
}
