#pragma once
// CQuandrel: the registered splitter filter. When its input connects it
// tries its parsers in turn (by default FLV, Matroska, RealMedia, MP4, raw
// MPEG-4 video) and keeps the first that opens the source; the filter's
// demultiplexing steps go to that parser.

#include "splitter/base/BaseSplitterFilter.h"

#include <functional>
#include <memory>
#include <vector>

inline constexpr CLSID CLSID_QuandrelSplitter = plat::make_guid("{789FFF70-4233-41C8-9164-E97FBCD160CA}");

class CQuandrel : public CBaseSplitterFilter {
public:
    using MakeParser = std::function<std::unique_ptr<CBaseParser>(CBaseSplitterFilter*)>;

    // The registered probe order.
    CQuandrel();
    explicit CQuandrel(std::vector<MakeParser> probes);
    ~CQuandrel() override;

    // A probe that runs out of memory answers E_OUTOFMEMORY; a parser that
    // refuses the source leaves no pins for the next one.
    HRESULT CreateOutputs(IAsyncReader* reader) override;
    bool DemuxInit() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    bool SyncToPosition(LONGLONG offset) override;
    bool DemuxLoop() override;

    // The current parser, or null.
    CBaseParser* CurrentParser() const { return m_parser.get(); }

private:
    HRESULT m_result{S_OK};
    const std::vector<MakeParser> m_probes;
};
