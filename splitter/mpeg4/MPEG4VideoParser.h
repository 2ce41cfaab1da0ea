#pragma once
// CMPEG4VideoParser: reads a bare MPEG-4 Visual elementary stream. One video
// pin (track 0); everything before the first video object plane is the
// decoder's sequence header; each plane is one packet, timed by a fixed
// frame period. Every run starts again at the first plane.

#include "splitter/base/BaseParser.h"
#include "splitter/base/BaseSplitterFileEx.h"

#include <memory>

class CMPEG4VideoParser final : public CBaseParser {
public:
    explicit CMPEG4VideoParser(CBaseSplitterFilter* filter);
    ~CMPEG4VideoParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override { return true; }
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;
    bool SetCacheSize(int size) override;

private:
    struct Header;
    bool ReadVisualObject(Header& h);
    bool ReadVideoObjectLayer(Header& h);
    bool SkipToStartCode();
    HRESULT AddPin(const Header& h);

    LONGLONG m_DataStart{0};
    std::unique_ptr<CBaseSplitterFileEx> m_pFile;
};
