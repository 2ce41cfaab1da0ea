#pragma once
// A splitter filter with one given parser, for tests and benchmarks: it does
// for one parser what the registered splitter does for its list.

#include "splitter/base/BaseSplitterFilter.h"

#include <functional>

class ParserFilter final : public CBaseSplitterFilter {
public:
    using MakeParser = std::function<std::unique_ptr<CBaseParser>(CBaseSplitterFilter*)>;

    explicit ParserFilter(MakeParser make)
        : CBaseSplitterFilter(u"Test Splitter", &m_result, GUID_NULL), m_make(std::move(make))
    {
    }
    template <class Parser>
    static ParserFilter* with()
    {
        return new ParserFilter([](CBaseSplitterFilter* f) { return std::make_unique<Parser>(f); });
    }

    HRESULT CreateOutputs(IAsyncReader* reader) override
    {
        m_rtCurrent = 0;
        m_rtNewStart = 0;
        m_rtNewStop = m_rtStop;
        m_pParser.reset();
        std::unique_ptr<CBaseParser> parser = m_make(this);
        HRESULT hr = parser->Open(reader);
        if (FAILED(hr)) return hr;
        m_pParser = std::move(parser);
        m_rtDuration = m_rtStop = m_rtNewStop = m_pParser->GetDuration();
        return hr;
    }
    // The parser's answers are not used: every call ends its step.
    bool DemuxInit() override
    {
        if (m_pParser) m_pParser->DemuxInit();
        return true;
    }
    bool DemuxSeek(REFERENCE_TIME start) override
    {
        if (m_pParser) m_pParser->DemuxSeek(start);
        return true;
    }
    bool SyncToPosition(LONGLONG offset) override
    {
        if (m_pParser) m_pParser->SyncToPosition(offset);
        return true;
    }
    bool DemuxLoop() override
    {
        if (m_pParser) m_pParser->DemuxLoop();
        return true;
    }

    CBaseParser* parser() const { return m_pParser.get(); }

private:
    HRESULT m_result{S_OK};
    MakeParser m_make;
};
