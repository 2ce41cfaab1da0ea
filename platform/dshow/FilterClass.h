#pragma once
// A filter class in a server module's class table. Filters start with no
// reference (the DirectShow base classes' rule), unlike the objects
// `plat::server_class` makes, so their factory holds one while it asks for
// the interface.
//
//   const plat::ServerClass classes[] = {plat::filter_class<MyDecoder>({clsid, "My Decoder", "", "", "Both"})};

#include "platform/com/ComPtr.h"
#include "platform/com/ServerModule.h"

#include <new>

namespace plat {

template <class T>
class FilterFactory final : public ComObject<IClassFactory> {
public:
    HRESULT CreateInstance(IUnknown* outer, REFIID iid, void** object) noexcept override
    {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        try {
            const ComPtr<T> made(new T());
            return made->QueryInterface(iid, object);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }

    HRESULT LockServer(BOOL lock) noexcept override
    {
        if (lock) ++module_lock_count();
        else --module_lock_count();
        return S_OK;
    }
};

template <class T>
constexpr ServerClass filter_class(const ClassRegistration& registration)
{
    return {registration, []() -> IClassFactory* { return new (std::nothrow) FilterFactory<T>(); }};
}

}
