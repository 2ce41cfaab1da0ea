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
        m_current = 0;
        m_new_start = 0;
        m_new_stop = m_stop;
        m_parser.reset();
        std::unique_ptr<CBaseParser> parser = m_make(this);
        HRESULT hr = parser->Open(reader);
        if (FAILED(hr)) return hr;
        m_parser = std::move(parser);
        m_duration = m_stop = m_new_stop = m_parser->GetDuration();
        return hr;
    }
    // The parser's answers are not used: every call ends its step.
    bool DemuxInit() override
    {
        if (m_parser) m_parser->DemuxInit();
        return true;
    }
    bool DemuxSeek(REFERENCE_TIME start) override
    {
        if (m_parser) m_parser->DemuxSeek(start);
        return true;
    }
    bool SyncToPosition(LONGLONG offset) override
    {
        if (m_parser) m_parser->SyncToPosition(offset);
        return true;
    }
    bool DemuxLoop() override
    {
        if (m_parser) m_parser->DemuxLoop();
        return true;
    }

    CBaseParser* parser() const { return m_parser.get(); }

private:
    HRESULT m_result{S_OK};
    MakeParser m_make;
};
