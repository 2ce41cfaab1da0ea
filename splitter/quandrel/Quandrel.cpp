#include "splitter/quandrel/Quandrel.h"

#include "splitter/flv/FlashParser.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/mp4/MP4Parser.h"
#include "splitter/mpeg4/MPEG4VideoParser.h"
#include "splitter/realmedia/RMParser.h"

#include <new>

namespace {

template <class Parser>
CQuandrel::MakeParser probe()
{
    return [](CBaseSplitterFilter* filter) { return std::make_unique<Parser>(filter); };
}

}

CQuandrel::CQuandrel()
    : CQuandrel({probe<CFlashParser>(), probe<CMatroskaParser>(), probe<CRMParser>(), probe<CMP4Parser>(),
                 probe<CMPEG4VideoParser>()})
{
}

CQuandrel::CQuandrel(std::vector<MakeParser> probes)
    : CBaseSplitterFilter(u"KVR Splitter", &m_result, CLSID_QuandrelSplitter), m_probes(std::move(probes))
{
}

// The base stops the demultiplexing thread, then closes and deletes the parser.
CQuandrel::~CQuandrel() = default;

HRESULT CQuandrel::CreateOutputs(IAsyncReader* reader) try
{
    m_current = 0;
    m_new_start = 0;
    m_new_stop = m_stop;
    m_parser.reset();
    HRESULT hr = E_FAIL;
    for (const MakeParser& make : m_probes) {
        std::unique_ptr<CBaseParser> parser = make(this);
        hr = parser->Open(reader);
        if (SUCCEEDED(hr)) {
            m_parser = std::move(parser);
            m_duration = m_stop = m_new_stop = m_parser->GetDuration();
            return hr;
        }
        parser.reset();
        if (GetPinCount() > 1) DeleteOutputs();
    }
    return hr;
} catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
}

bool CQuandrel::DemuxInit()
{
    if (m_parser) m_parser->DemuxInit();
    return true;
}

bool CQuandrel::DemuxSeek(REFERENCE_TIME start)
{
    if (m_parser) m_parser->DemuxSeek(start);
    return true;
}

bool CQuandrel::SyncToPosition(LONGLONG offset)
{
    if (m_parser) m_parser->SyncToPosition(offset);
    return true;
}

bool CQuandrel::DemuxLoop()
{
    if (m_parser) m_parser->DemuxLoop();
    return true;
}
