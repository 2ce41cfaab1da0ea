#include "LavfSplitter.h"

#include "LavfParser.h"

namespace filters {

LavfSplitter::LavfSplitter(const WCHAR* name, const CLSID& clsid, std::vector<std::string_view> formats)
    : CBaseSplitterFilter(name, &m_result, clsid), m_formats(std::move(formats))
{
}

LavfSplitter::~LavfSplitter()
{
    StopDemuxThread();
}

HRESULT LavfSplitter::CreateOutputs(IAsyncReader* reader)
{
    m_parser.reset();
    auto parser = std::make_unique<LavfParser>(this, m_formats);
    const HRESULT hr = parser->Open(reader);
    if (FAILED(hr)) return hr;
    m_parser = std::move(parser);
    m_duration = m_stop = m_new_stop = m_parser->GetDuration();
    m_current = 0;
    m_new_start = 0;
    return hr;
}

bool LavfSplitter::DemuxInit()
{
    if (m_parser) m_parser->DemuxInit();
    return true;
}

bool LavfSplitter::DemuxSeek(REFERENCE_TIME start)
{
    if (m_parser) m_parser->DemuxSeek(start);
    return true;
}

bool LavfSplitter::DemuxLoop()
{
    if (m_parser) m_parser->DemuxLoop();
    return true;
}

}
