#pragma once
// The IUnknown part of this layer's COM objects: a count that deletes the
// object at zero, and QueryInterface for its interface and the bases named.
// Private to platform/d3d9.

#include "platform/com/Unknown.h"

#include <atomic>

namespace plat {

template <class Derived, class Interface, class... Bases>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID riid, void** object) override
    {
        if (object == nullptr) return E_POINTER;
        if (riid == IID_IUnknown || riid == Interface::iid || ((riid == Bases::iid) || ...)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++m_refs; }
    ULONG Release() override
    {
        ULONG left = --m_refs;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

protected:
    ~ComObject() = default;

private:
    std::atomic<ULONG> m_refs{1};
};

}
