#include "qtsource/MossveilSourceFilter.h"

#include "outside/quicktime/AvQuickTime.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "qtsource/MossveilAudioPin.h"
#include "qtsource/MossveilVideoPin.h"
#include "qtsource/QtMovieReader.h"

#include <cstring>
#include <new>

MossveilSourceFilter::MossveilSourceFilter()
    : MossveilSourceFilter([] { return std::make_unique<qt::AvQuickTime>(); })
{
}

MossveilSourceFilter::MossveilSourceFilter(QuickTimeMaker make)
    : CSource(u"QT Source", CLSID_MossveilSource), m_make(std::move(make))
{
}

MossveilSourceFilter::~MossveilSourceFilter()
{
    CAutoLock hold(&m_cStateLock);
    release_movie();
}

HRESULT MossveilSourceFilter::NonDelegatingQueryInterface(REFIID riid, void** object)
{
    if (riid != IID_IFileSourceFilter) return CSource::NonDelegatingQueryInterface(riid, object);
    if (!object) return E_POINTER;
    *object = static_cast<IFileSourceFilter*>(this);
    AddRef();
    return S_OK;
}

// Pins go before the reader; a connected pin is disconnected from its peer
// first, which would otherwise keep a pin that no longer exists.
void MossveilSourceFilter::release_movie()
{
    for (CBasePin* pin : {static_cast<CBasePin*>(m_video.get()), static_cast<CBasePin*>(m_audio.get())}) {
        if (!pin || !pin->IsConnected()) continue;
        pin->GetConnected()->Disconnect();
        pin->Disconnect();
    }
    m_video.reset();
    m_audio.reset();
    m_reader.reset();
    m_file_name.clear();
}

HRESULT MossveilSourceFilter::Load(LPCWSTR file_name, const AM_MEDIA_TYPE*)
{
    if (!file_name) return E_POINTER;
    std::string path;
    try {
        path = plat::utf16_to_utf8(file_name);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    CAutoLock hold(&m_cStateLock);
    if (!IsStopped()) return VFW_E_NOT_STOPPED;
    release_movie();
    try {
        auto reader = std::make_unique<QtMovieReader>(m_make());
        if (FAILED(reader->open(path.c_str()))) {
            plat::debug_log("QT Source: cannot open " + path);
            return E_FAIL;
        }
        HRESULT hr = S_OK;
        std::unique_ptr<MossveilVideoPin> video;
        std::unique_ptr<MossveilAudioPin> audio;
        if (reader->has_video()) video = std::make_unique<MossveilVideoPin>(&hr, this, *reader);
        if (SUCCEEDED(hr) && reader->has_sound()) audio = std::make_unique<MossveilAudioPin>(&hr, this, *reader);
        if (FAILED(hr)) {
            plat::debug_log("QT Source: a pin of " + path + " cannot be made");
            return E_FAIL;
        }
        m_reader = std::move(reader);
        m_video = std::move(video);
        m_audio = std::move(audio);
        m_file_name = file_name;
        return S_OK;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT MossveilSourceFilter::GetCurFile(LPWSTR* file_name, AM_MEDIA_TYPE*)
{
    if (!file_name) return E_POINTER;
    *file_name = nullptr;
    CAutoLock hold(&m_cStateLock);
    if (m_file_name.empty()) return S_OK;
    const std::size_t bytes = (m_file_name.size() + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!copy) return E_OUTOFMEMORY;
    std::memcpy(copy, m_file_name.c_str(), bytes);
    *file_name = copy;
    return S_OK;
}
