#include "DmoWrapperFilter.h"

#include "platform/com/Com.h"
#include "platform/dshow/BasePin.h"

#include <algorithm>
#include <cstring>

namespace filters {

DmoWrapperFilter::DmoWrapperFilter() : StreamFilter(u"DMO Wrapper Filter", CLSID_DMOWrapperFilter, u"in0", u"out0") {}

HRESULT DmoWrapperFilter::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object == nullptr) return E_POINTER;
    if (iid == IDMOWrapperFilter::iid) {
        *object = static_cast<IDMOWrapperFilter*>(this);
        AddRef();
        return S_OK;
    }
    const HRESULT hr = StreamFilter::NonDelegatingQueryInterface(iid, object);
    if (hr != E_NOINTERFACE) return hr;
    plat::ComPtr<IMediaObject> inner;
    {
        std::scoped_lock hold(m_lock);
        inner = m_object;
    }
    return inner ? inner->QueryInterface(iid, object) : hr;
}

HRESULT DmoWrapperFilter::Init(REFCLSID dmo, REFCLSID)
{
    if (GetPin(0)->IsConnected()) return VFW_E_ALREADY_CONNECTED;
    plat::ComPtr<IMediaObject> object;
    HRESULT hr = CoCreateInstance(dmo, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaObject, object.put_void());
    if (FAILED(hr)) return hr;
    plat::ComPtr<IMediaObjectInPlace> in_place = object.as<IMediaObjectInPlace>();
    if (!in_place) return E_NOINTERFACE;
    std::scoped_lock hold(m_lock);
    m_object = std::move(object);
    m_in_place = std::move(in_place);
    return S_OK;
}

HRESULT DmoWrapperFilter::check_input(const CMediaType& type) const
{
    plat::ComPtr<IMediaObject> object;
    {
        std::scoped_lock hold(m_lock);
        object = m_object;
    }
    if (!object) return VFW_E_TYPE_NOT_ACCEPTED;
    return object->SetInputType(0, &type, DMO_SET_TYPEF_TEST_ONLY) == S_OK ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT DmoWrapperFilter::input_connected(const CMediaType& type)
{
    std::scoped_lock hold(m_lock);
    if (!m_object) return E_UNEXPECTED;
    HRESULT hr = m_object->SetInputType(0, &type, 0);
    if (SUCCEEDED(hr)) hr = m_object->SetOutputType(0, &type, 0);
    if (FAILED(hr)) return hr;
    m_type = type;
    return S_OK;
}

HRESULT DmoWrapperFilter::output_type(int position, CMediaType* type) const
{
    std::scoped_lock hold(m_lock);
    if (position > 0 || !m_type.IsValid()) return VFW_S_NO_MORE_ITEMS;
    *type = m_type;
    return S_OK;
}

LONG DmoWrapperFilter::output_buffer_size() const
{
    std::scoped_lock hold(m_lock);
    // A sound type's sample size is one frame; the samples carry many.
    return std::max(static_cast<LONG>(m_type.GetSampleSize()), LONG{256 * 1024});
}

void DmoWrapperFilter::receive(IMediaSample* sample)
{
    BYTE* data = nullptr;
    const LONG length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (FAILED(sample->GetPointer(&data)) || length <= 0) return;
    plat::ComPtr<IMediaObjectInPlace> in_place;
    {
        std::scoped_lock hold(m_lock);
        in_place = m_in_place;
    }
    if (!in_place) return;
    deliver(static_cast<std::size_t>(length), timed ? start : 0, timed ? stop : 0, sample->IsSyncPoint() == S_OK,
            [&](BYTE* out) {
                std::memcpy(out, data, static_cast<std::size_t>(length));
                return SUCCEEDED(in_place->Process(static_cast<ULONG>(length), out, timed ? start : 0, 0));
            });
}

}
