#include "platform/dshow/Enumerators.h"

#include <algorithm>

namespace plat {

namespace {

template <class Enum, class Interface>
HRESULT enum_query(Enum* self, REFIID riid, void** object)
{
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == Interface::iid) {
        *object = static_cast<Interface*>(self);
        self->AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT skip(std::size_t& next, std::size_t size, ULONG count)
{
    std::size_t left = size - next;
    next += std::min<std::size_t>(count, left);
    return count <= left ? S_OK : S_FALSE;
}

}

HRESULT PinEnumerator::QueryInterface(REFIID riid, void** object)
{
    return enum_query<PinEnumerator, IEnumPins>(this, riid, object);
}

ULONG PinEnumerator::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT PinEnumerator::Next(ULONG count, IPin** pins, ULONG* fetched)
{
    if (!pins) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_next < m_pins.size()) {
        pins[n] = m_pins[m_next++].get();
        pins[n++]->AddRef();
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT PinEnumerator::Skip(ULONG count) { return skip(m_next, m_pins.size(), count); }

HRESULT PinEnumerator::Reset()
{
    m_next = 0;
    return S_OK;
}

HRESULT MediaTypeEnumerator::QueryInterface(REFIID riid, void** object)
{
    return enum_query<MediaTypeEnumerator, IEnumMediaTypes>(this, riid, object);
}

ULONG MediaTypeEnumerator::Release()
{
    ULONG left = --m_ref;
    if (left == 0) delete this;
    return left;
}

HRESULT MediaTypeEnumerator::Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched)
{
    if (!types) return E_POINTER;
    ULONG n = 0;
    while (n < count && m_next < m_types.size()) {
        types[n] = CreateMediaType(&m_types[m_next]);
        if (!types[n]) break;
        ++m_next;
        ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
}

HRESULT MediaTypeEnumerator::Skip(ULONG count) { return skip(m_next, m_types.size(), count); }

HRESULT MediaTypeEnumerator::Reset()
{
    m_next = 0;
    return S_OK;
}

}
