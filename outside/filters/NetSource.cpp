#include "NetSource.h"

#include "platform/dshow/BasePin.h"
#include "platform/dshow/MediaFormats.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace filters {

class CorvaNetSource::OutputPin final : public CBasePin, public IAsyncReader {
public:
    explicit OutputPin(CorvaNetSource* filter)
        : CBasePin(u"Output", filter, &filter->m_lock, nullptr, PINDIR_OUTPUT)
    {
    }

    HRESULT QueryInterface(REFIID iid, void** object) override { return CBasePin::QueryInterface(iid, object); }
    ULONG AddRef() override { return CBasePin::AddRef(); }
    ULONG Release() override { return CBasePin::Release(); }
    HRESULT NonDelegatingQueryInterface(REFIID iid, void** object) override
    {
        if (object != nullptr && iid == IID_IAsyncReader) {
            *object = static_cast<IAsyncReader*>(this);
            AddRef();
            return S_OK;
        }
        return CBasePin::NonDelegatingQueryInterface(iid, object);
    }

    HRESULT CheckMediaType(const CMediaType* type) override
    {
        return *type->Type() == MEDIATYPE_Stream ? S_OK : E_INVALIDARG;
    }
    HRESULT GetMediaType(int position, CMediaType* type) override
    {
        if (position < 0) return E_INVALIDARG;
        if (position > 0) return VFW_S_NO_MORE_ITEMS;
        *type = CMediaType(MEDIATYPE_Stream);
        return S_OK;
    }
    // Reads are synchronous: there is never anything in flight to flush.
    HRESULT BeginFlush() override { return S_OK; }
    HRESULT EndFlush() override { return S_OK; }
    HRESULT EndOfStream() override { return E_UNEXPECTED; }

    HRESULT SyncRead(LONGLONG position, LONG length, BYTE* buffer) override
    {
        if (buffer == nullptr) return E_POINTER;
        if (position < 0 || length < 0) return E_INVALIDARG;
        ISourceManager* manager = m_manager.load();
        if (manager == nullptr) return VFW_E_NOT_CONNECTED;
        LONG read = 0;
        manager->ReadData(position, length, buffer, &read);
        read = std::clamp(read, LONG{0}, length);   // the store's count is not trusted past the buffer
        if (read == length) return S_OK;
        std::memset(buffer + read, 0, static_cast<std::size_t>(length - read));
        return S_FALSE;
    }
    HRESULT Length(LONGLONG* total, LONGLONG* available) override
    {
        if (total == nullptr || available == nullptr) return E_POINTER;
        ISourceManager* manager = m_manager.load();
        if (manager == nullptr) return VFW_E_NOT_CONNECTED;
        *total = *available = std::max<LONGLONG>(manager->GetTotalSize(), 0);
        return S_OK;
    }

    std::atomic<ISourceManager*> m_manager{nullptr};   // read by the splitter's threads
};

CorvaNetSource::CorvaNetSource()
    : CBaseFilter(u"Corva Net Source", &m_lock, CLSID_CorvaNetSource), m_pin(std::make_unique<OutputPin>(this))
{
}

CorvaNetSource::~CorvaNetSource() = default;

HRESULT CorvaNetSource::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object != nullptr && iid == ICorvaNetSource::iid) {
        *object = static_cast<ICorvaNetSource*>(this);
        AddRef();
        return S_OK;
    }
    return CBaseFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT CorvaNetSource::SetSourceManager(ISourceManager* manager)
{
    m_pin->m_manager = manager;
    return S_OK;
}

CBasePin* CorvaNetSource::GetPin(int n)
{
    return n == 0 ? m_pin.get() : nullptr;
}

}
