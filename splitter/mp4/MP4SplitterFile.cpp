#include "splitter/mp4/MP4SplitterFile.h"

#include "outside/ap4/Ap4File.h"
#include "splitter/mp4/AsyncReaderStream.h"

CMP4SplitterFile::CMP4SplitterFile(IAsyncReader* reader, HRESULT& result)
    : CBaseSplitterFileEx(reader, result, default_cache, RandomAccess::Required, Streaming::No)
{
    if (FAILED(result)) return;
    Seek(0);
    const AP4_StreamReference stream = AP4_StreamReference::adopt(new AP4_AsyncReaderStream(this));
    m_file = std::make_unique<AP4_File>(*stream.get());
    if (m_file->GetReadResult() == AP4_ERROR_OUT_OF_MEMORY) result = E_OUTOFMEMORY;
    else result = m_file->GetMovie() ? S_OK : E_FAIL;
}

CMP4SplitterFile::~CMP4SplitterFile() = default;

AP4_Movie* CMP4SplitterFile::GetMovie() const { return m_file ? m_file->GetMovie() : nullptr; }
