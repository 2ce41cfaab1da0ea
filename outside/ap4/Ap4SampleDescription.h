#pragma once
// What a track's sample entry says about its samples: MPEG-4 descriptions
// (video, audio, system) from an esds, the ISMA-protected wrapper around
// one, and the unknown description that only points at its entry.

#include "outside/ap4/Ap4Atom.h"
#include "outside/ap4/Ap4DataBuffer.h"

#include <memory>

class AP4_DecoderConfigDescriptor;
class AP4_SampleEntry;

class AP4_SampleDescription {
public:
    enum Type { TYPE_UNKNOWN, TYPE_MPEG, TYPE_ISMACRYP };

    explicit AP4_SampleDescription(Type type, AP4_UI32 format) : m_type(type), m_format(format) {}
    virtual ~AP4_SampleDescription() = default;
    AP4_SampleDescription(const AP4_SampleDescription&) = delete;
    AP4_SampleDescription& operator=(const AP4_SampleDescription&) = delete;

    Type GetType() const { return m_type; }
    // The sample entry's four letters.
    AP4_UI32 GetFormat() const { return m_format; }

private:
    const Type m_type;
    const AP4_UI32 m_format;
};

class AP4_UnknownSampleDescription final : public AP4_SampleDescription {
public:
    explicit AP4_UnknownSampleDescription(AP4_SampleEntry* entry);
    // The entry, owned by the stsd.
    AP4_SampleEntry* GetAtom() const { return m_entry; }

private:
    AP4_SampleEntry* const m_entry;
};

class AP4_MpegSampleDescription : public AP4_SampleDescription {
public:
    enum StreamType : AP4_UI08 { STREAM_TYPE_SYSTEM = 1, STREAM_TYPE_VISUAL = 4, STREAM_TYPE_AUDIO = 5 };

    AP4_MpegSampleDescription(AP4_UI32 format, AP4_UI08 stream_type, const AP4_DecoderConfigDescriptor& config);
    AP4_UI08 GetStreamType() const { return m_stream_type; }
    AP4_UI08 GetObjectTypeId() const { return m_object_type; }
    AP4_UI32 GetBufferSize() const { return m_buffer_size; }
    AP4_UI32 GetMaxBitrate() const { return m_max_bitrate; }
    AP4_UI32 GetAvgBitrate() const { return m_avg_bitrate; }
    // Empty when the stream has none.
    const AP4_DataBuffer& GetDecoderInfo() const { return m_decoder_info; }

private:
    const AP4_UI08 m_stream_type;
    AP4_UI08 m_object_type;
    AP4_UI32 m_buffer_size;
    AP4_UI32 m_max_bitrate;
    AP4_UI32 m_avg_bitrate;
    AP4_DataBuffer m_decoder_info;
};

class AP4_MpegVideoSampleDescription final : public AP4_MpegSampleDescription {
public:
    AP4_MpegVideoSampleDescription(AP4_UI32 format, AP4_UI16 width, AP4_UI16 height, AP4_UI16 depth,
                                   const AP4_DecoderConfigDescriptor& config)
        : AP4_MpegSampleDescription(format, STREAM_TYPE_VISUAL, config), m_width(width), m_height(height), m_depth(depth)
    {
    }
    AP4_UI16 GetWidth() const { return m_width; }
    AP4_UI16 GetHeight() const { return m_height; }
    AP4_UI16 GetDepth() const { return m_depth; }

private:
    const AP4_UI16 m_width, m_height, m_depth;
};

class AP4_MpegAudioSampleDescription final : public AP4_MpegSampleDescription {
public:
    AP4_MpegAudioSampleDescription(AP4_UI32 format, AP4_UI32 sample_rate, AP4_UI16 sample_size, AP4_UI16 channel_count,
                                   const AP4_DecoderConfigDescriptor& config)
        : AP4_MpegSampleDescription(format, STREAM_TYPE_AUDIO, config), m_sample_rate(sample_rate),
          m_sample_size(sample_size), m_channel_count(channel_count)
    {
    }
    AP4_UI32 GetSampleRate() const { return m_sample_rate; }
    AP4_UI16 GetSampleSize() const { return m_sample_size; }
    AP4_UI16 GetChannelCount() const { return m_channel_count; }

private:
    const AP4_UI32 m_sample_rate;
    const AP4_UI16 m_sample_size, m_channel_count;
};

class AP4_MpegSystemSampleDescription final : public AP4_MpegSampleDescription {
public:
    AP4_MpegSystemSampleDescription(AP4_UI32 format, const AP4_DecoderConfigDescriptor& config)
        : AP4_MpegSampleDescription(format, STREAM_TYPE_SYSTEM, config)
    {
    }
};

class AP4_IsmaCrypSampleDescription final : public AP4_SampleDescription {
public:
    AP4_IsmaCrypSampleDescription(AP4_UI32 format, AP4_UI32 original_format,
                                  std::unique_ptr<AP4_SampleDescription> original)
        : AP4_SampleDescription(TYPE_ISMACRYP, format), m_original_format(original_format),
          m_original(std::move(original))
    {
    }
    AP4_UI32 GetOriginalFormat() const { return m_original_format; }
    AP4_SampleDescription* GetOriginalSampleDescription() const { return m_original.get(); }

private:
    const AP4_UI32 m_original_format;
    const std::unique_ptr<AP4_SampleDescription> m_original;
};
