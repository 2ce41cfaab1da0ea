#include "SubtitleFilter.h"

#include "platform/dshow/MediaFormats.h"

#include <cstring>

namespace filters {

namespace {

constexpr DWORD KSPROPERTY_SUPPORT_GET = 1;
constexpr DWORD KSPROPERTY_SUPPORT_SET = 2;

bool known(DWORD id)
{
    return id == SubtitleSourcePath || id == SubtitleEnabled || id == SubtitlePosition;
}

}

CorvaSubTitle::CorvaSubTitle() : StreamFilter(u"Corva SubTitle", CLSID_CorvaSubTitle, u"Input", u"Output") {}

HRESULT CorvaSubTitle::NonDelegatingQueryInterface(REFIID iid, void** object)
{
    if (object != nullptr && iid == IKsPropertySet::iid) {
        *object = static_cast<IKsPropertySet*>(this);
        AddRef();
        return S_OK;
    }
    return StreamFilter::NonDelegatingQueryInterface(iid, object);
}

HRESULT CorvaSubTitle::Set(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD length)
{
    if (set != PROPSETID_CorvaSubTitle) return E_PROP_SET_UNSUPPORTED;
    if (!known(id)) return E_PROP_ID_UNSUPPORTED;
    if (data == nullptr) return E_POINTER;
    std::scoped_lock hold(m_lock);
    if (id == SubtitleSourcePath) {
        const auto* text = static_cast<const char*>(data);
        m_source_path.assign(text, strnlen(text, length));   // the terminating zero is not part of it
        return S_OK;
    }
    if (length < sizeof(DWORD)) return E_INVALIDARG;
    std::memcpy(id == SubtitleEnabled ? &m_enabled : &m_position_ms, data, sizeof(DWORD));
    return S_OK;
}

HRESULT CorvaSubTitle::Get(REFGUID set, DWORD id, LPVOID, DWORD, LPVOID data, DWORD length, DWORD* returned)
{
    if (set != PROPSETID_CorvaSubTitle) return E_PROP_SET_UNSUPPORTED;
    if (!known(id)) return E_PROP_ID_UNSUPPORTED;
    std::scoped_lock hold(m_lock);
    const DWORD value = id == SubtitleEnabled ? m_enabled : m_position_ms;
    const void* from = id == SubtitleSourcePath ? static_cast<const void*>(m_source_path.c_str()) : &value;
    const DWORD size = id == SubtitleSourcePath ? static_cast<DWORD>(m_source_path.size() + 1) : sizeof(DWORD);
    if (returned != nullptr) *returned = size;
    if (data == nullptr) return length == 0 ? S_OK : E_POINTER;
    if (length < size) return E_INVALIDARG;
    std::memcpy(data, from, size);
    return S_OK;
}

HRESULT CorvaSubTitle::QuerySupported(REFGUID set, DWORD id, DWORD* support)
{
    if (set != PROPSETID_CorvaSubTitle) return E_PROP_SET_UNSUPPORTED;
    if (!known(id)) return E_PROP_ID_UNSUPPORTED;
    if (support != nullptr) *support = KSPROPERTY_SUPPORT_GET | KSPROPERTY_SUPPORT_SET;
    return S_OK;
}

HRESULT CorvaSubTitle::check_input(const CMediaType& type) const
{
    return *type.Type() == MEDIATYPE_Video ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT CorvaSubTitle::input_connected(const CMediaType& type)
{
    std::scoped_lock hold(m_lock);
    m_type = type;
    return S_OK;
}

HRESULT CorvaSubTitle::output_type(int position, CMediaType* type) const
{
    std::scoped_lock hold(m_lock);
    if (position > 0 || !m_type.IsValid()) return VFW_S_NO_MORE_ITEMS;
    *type = m_type;
    return S_OK;
}

LONG CorvaSubTitle::output_buffer_size() const
{
    std::scoped_lock hold(m_lock);
    const ULONG size = m_type.GetSampleSize();
    return size > 0 ? static_cast<LONG>(size) : 1920 * 1080 * 4;
}

void CorvaSubTitle::receive(IMediaSample* sample)
{
    BYTE* data = nullptr;
    if (FAILED(sample->GetPointer(&data))) return;
    const LONG length = sample->GetActualDataLength();
    REFERENCE_TIME start = 0, stop = 0;
    const bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
    if (length <= 0) return;
    deliver(static_cast<std::size_t>(length), timed ? start : 0, timed ? stop : 0, sample->IsSyncPoint() == S_OK,
            [&](BYTE* out) { return std::memcpy(out, data, static_cast<std::size_t>(length)) != nullptr; });
}

}
