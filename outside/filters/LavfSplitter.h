#pragma once
// The system's splitters, each over libavformat for the formats it serves,
// under the class ids the media graph engine adds them by.

#include "splitter/base/BaseSplitterFilter.h"

#include <string_view>
#include <vector>

namespace filters {

inline constexpr CLSID CLSID_AVISplitter = plat::make_guid("{1B544C20-FD0B-11CE-8C63-00AA0044B51E}");
inline constexpr CLSID CLSID_MPEG1Splitter = plat::make_guid("{336475D0-942A-11CE-A870-00AA002FEAB5}");
inline constexpr CLSID CLSID_MPEG2Splitter = plat::make_guid("{3AE86B20-7BE8-11D1-ABE6-00A0C905F375}");
inline constexpr CLSID CLSID_MPEG2Demultiplexer = plat::make_guid("{AFB6C280-2C41-11D3-8A60-0000F81E0E4A}");
inline constexpr CLSID CLSID_MOVSplitter = plat::make_guid("{61F47056-E400-43D3-AF1E-AB7DFFD4C4AD}");
inline constexpr CLSID CLSID_WaveParser = plat::make_guid("{D51BD5A1-7548-11CF-A520-0080C77EF58A}");

class LavfSplitter : public CBaseSplitterFilter {
protected:
    LavfSplitter(const WCHAR* name, const CLSID& clsid, std::vector<std::string_view> formats);
    ~LavfSplitter() override;

private:
    HRESULT CreateOutputs(IAsyncReader* reader) override;
    // The parser's answers are not used: every call ends its step.
    bool DemuxInit() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    bool SyncToPosition(LONGLONG) override { return true; }
    bool DemuxLoop() override;

    HRESULT m_result = S_OK;
    const std::vector<std::string_view> m_formats;
};

class AVISplitter final : public LavfSplitter {
public:
    AVISplitter() : LavfSplitter(u"AVI Splitter", CLSID_AVISplitter, {"avi"}) {}
};

// MPEG-1 system streams and MPEG audio files (the engine's "MPEG-I Splitter" is this class too).
class MPEG1Splitter final : public LavfSplitter {
public:
    MPEG1Splitter() : LavfSplitter(u"MPEG-1 Splitter", CLSID_MPEG1Splitter, {"mpeg", "mp3"}) {}
};

class MPEG2Splitter final : public LavfSplitter {
public:
    MPEG2Splitter() : LavfSplitter(u"MPEG-2 Splitter", CLSID_MPEG2Splitter, {"mpeg", "mpegts", "mpegvideo"}) {}
};

class MPEG2Demultiplexer final : public LavfSplitter {
public:
    MPEG2Demultiplexer() : LavfSplitter(u"MPEG-2 Demultiplexer", CLSID_MPEG2Demultiplexer, {"mpeg", "mpegts"}) {}
};

class MOVSplitter final : public LavfSplitter {
public:
    MOVSplitter() : LavfSplitter(u"MOV Splitter", CLSID_MOVSplitter, {"mov"}) {}
};

class WaveParser final : public LavfSplitter {
public:
    WaveParser() : LavfSplitter(u"Wave Parser", CLSID_WaveParser, {"wav"}) {}
};

}
