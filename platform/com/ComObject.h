#pragma once
// The base of a reference-counted COM object in a server module: IUnknown over
// the interfaces it lists. QueryInterface answers each listed interface and the
// interfaces it derives from, when the interface names its base as `base`
// (struct IRSSParser : IDispatch { using base = IDispatch; ... }).
// A new object holds one reference, which its creator adopts or releases.

#include "platform/com/Unknown.h"

#include <atomic>

namespace plat {

// Objects and server locks alive in the module that holds this code; the
// module's DllCanUnloadNow reads it. Hidden, so every module counts its own.
[[gnu::visibility("hidden")]] inline std::atomic<LONG>& module_lock_count()
{
    static std::atomic<LONG> count{0};
    return count;
}

template <class First, class... Rest>
class ComObject : public First, public Rest... {
public:
    ComObject() { ++module_lock_count(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override
    {
        if (!object)
            return E_POINTER;
        *object = find(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() noexcept override { return ++m_refs; }
    ULONG Release() noexcept override
    {
        ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~ComObject() { --module_lock_count(); }

private:
    template <class I>
    static bool answers(REFIID iid)
    {
        if (iid == I::iid)
            return true;
        if constexpr (requires { typename I::base; })
            return answers<typename I::base>(iid);
        else
            return false;
    }

    void* find(REFIID iid)
    {
        // One IUnknown for every query: the object's identity.
        if (iid == IID_IUnknown)
            return static_cast<IUnknown*>(static_cast<First*>(this));
        void* found = nullptr;
        (void)((answers<First>(iid) && (found = static_cast<First*>(this))) ||
               ((answers<Rest>(iid) && (found = static_cast<Rest*>(this))) || ...));
        return found;
    }

    std::atomic<ULONG> m_refs{1};
};

}
