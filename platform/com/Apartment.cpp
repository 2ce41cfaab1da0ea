#include "Apartment.h"

#include "Com.h"

namespace plat {

namespace {

// What CoInitialize(Ex) left on this thread.
struct ThreadApartment {
    ULONG count{0};   // successful initialisations not yet undone
    DWORD model{0};   // threading model of the first one
};

ThreadApartment& this_thread_apartment()
{
    thread_local ThreadApartment apartment;
    return apartment;
}

}

bool com_initialized_on_this_thread() { return this_thread_apartment().count > 0; }

}

HRESULT CoInitialize(LPVOID reserved) noexcept { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID, DWORD coinit) noexcept
{
    // Only the threading model counts; other COINIT bits change nothing here.
    const DWORD model = coinit & COINIT_APARTMENTTHREADED;
    auto& apartment = plat::this_thread_apartment();
    if (apartment.count == 0) {
        apartment.model = model;
        apartment.count = 1;
        return S_OK;
    }
    if (apartment.model != model)
        return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
}

void CoUninitialize() noexcept
{
    auto& apartment = plat::this_thread_apartment();
    if (apartment.count > 0)
        --apartment.count;
}
