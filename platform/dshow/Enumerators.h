#pragma once
// Snapshot enumerators of pins, filters and media types: each hands out what was
// there when it was made.

#include "platform/com/ComPtr.h"
#include "platform/dshow/Interfaces.h"
#include "platform/dshow/MediaType.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace plat {

// What an enumerator hands out for an item: a counted pin or filter, a media
// type copy the caller deletes (null when memory runs out).
template <class Interface>
Interface* hand_out(const ComPtr<Interface>& object)
{
    object->AddRef();
    return object.get();
}
inline AM_MEDIA_TYPE* hand_out(const CMediaType& type) { return CreateMediaType(&type); }

template <class Interface, class Item, class Out>
class SnapshotEnumerator final : public Interface {
public:
    explicit SnapshotEnumerator(std::vector<Item> items) : m_items(std::move(items)) {}

    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == Interface::iid) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_ref; }
    ULONG Release() override
    {
        ULONG left = --m_ref;
        if (left == 0) delete this;
        return left;
    }
    HRESULT Next(ULONG count, Out** out, ULONG* fetched) override
    {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < count && m_next < m_items.size()) {
            out[n] = hand_out(m_items[m_next]);
            if (!out[n]) break;
            ++m_next;
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        const std::size_t left = m_items.size() - m_next;
        m_next += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        m_next = 0;
        return S_OK;
    }

private:
    ~SnapshotEnumerator() = default;
    std::vector<Item> m_items;
    std::size_t m_next{0};
    std::atomic<ULONG> m_ref{0};
};

using PinEnumerator = SnapshotEnumerator<IEnumPins, ComPtr<IPin>, IPin>;
using FilterEnumerator = SnapshotEnumerator<IEnumFilters, ComPtr<IBaseFilter>, IBaseFilter>;
using MediaTypeEnumerator = SnapshotEnumerator<IEnumMediaTypes, CMediaType, AM_MEDIA_TYPE>;

}
