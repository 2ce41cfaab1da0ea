#pragma once
// The class factory of one COM class T of a server module. T is default
// constructible and derives from ComObject. Aggregation is not offered.

#include "platform/base/DebugLog.h"
#include "platform/com/ComObject.h"

#include <new>
#include <stdexcept>
#include <string>

namespace plat {

template <class T>
class ClassFactory final : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        T* created = nullptr;
        try {
            created = new T();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (const std::exception& e) {
            debug_log(std::string("com: object construction failed: ") + e.what());
            return E_FAIL;
        }
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();
        return hr;
    }

    HRESULT LockServer(BOOL lock) noexcept override
    {
        if (lock)
            ++module_lock_count();
        else
            --module_lock_count();
        return S_OK;
    }
};

}
