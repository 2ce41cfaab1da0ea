#pragma once
// CBaseSplitterFileEx: the reader with MPEG start-code scanning and the MPEG
// video sequence-header and audio frame-header readers that build a media
// type from a header.

#include "splitter/base/BaseSplitterFile.h"

class CMediaType;

// An MPEG audio frame header and what follows from it.
struct MpegAudioHeader {
    int version;        // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int layer;          // 1, 2 or 3
    bool crc;
    int bitrate_index, rate_index;
    int padding, private_bit, channel_mode, mode_extension, copyright, original, emphasis;
    int bitrate;        // bits a second
    int rate;           // samples a second
    int frame_size;     // bytes
    int channels;
    REFERENCE_TIME duration;   // of one frame
};

// An MPEG-1 or MPEG-2 video sequence header and what follows from it.
struct MpegVideoHeader {
    bool mpeg2;                  // a sequence extension followed
    LONG width, height;
    DWORD aspect_x, aspect_y;    // the picture's shape, reduced
    REFERENCE_TIME frame_period;
    DWORD bitrate;               // bits a second; 0 when the stream says "variable"
    int profile, level;          // MPEG-2 only
};

class CBaseSplitterFileEx : public CBaseSplitterFile {
public:
    using CBaseSplitterFile::CBaseSplitterFile;
    ~CBaseSplitterFileEx() override;

    // A reader with the default cache over the source; null, with the failure in result, when it cannot be made.
    static std::unique_ptr<CBaseSplitterFileEx> Create(IAsyncReader* reader, HRESULT& result, RandomAccess random_access,
                                                       Streaming streaming);

    // Byte-aligns, then scans for 00 00 01 xx; false at the end or after limit bytes.
    bool NextMpegStartCode(BYTE& code, LONGLONG limit = 0x7FFFFFFFFFFFFFFF);
    // Finds a sequence header (00 00 01 B3) within limit bytes and reads it
    // with its sequence extension, if one follows; the reader is left after both.
    bool ReadVideoHeader(MpegVideoHeader& header, LONGLONG limit, CMediaType* type);
    bool ReadAudioHeader(MpegAudioHeader& header, int limit, bool allow_mpeg25, CMediaType* type);

protected:
    DWORD m_reserved{0};   // kept for subclasses
};
