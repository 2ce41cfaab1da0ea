#pragma once
// CRMParser: the splitter's parser for RealMedia files. One pin per stream
// with a known codec and one per embedded subtitle stream (under the track
// number with all bits of its index inverted, so it never meets a stream
// number); the media packets of the data chunks go to their pins in file order.

#include "splitter/base/BaseParser.h"

#include <memory>

class CRMFile;

class CRMParser final : public CBaseParser {
public:
    explicit CRMParser(CBaseSplitterFilter* filter);
    ~CRMParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override;
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;
    bool SetCacheSize(int size) override;

private:
    void StartAtBeginning();
    HRESULT DeliverSubtitles();

    std::unique_ptr<CRMFile> m_pFile;
    std::size_t m_iChunk{0};      // the data chunk being read
    LONGLONG m_dataPos{0};        // the next media packet
    DWORD m_nPacket{0};           // packets before the next one, for seeking
};
