#pragma once
// The first step of a local-server test client process (the second process of
// the local server's and the feed notifier's tests): creates the object of the
// class served on this user's socket, carrying its interface, and prints
// "create <hr>" in hexadecimal, as each later step prints its own line.

#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/com/LocalMarshalling.h"

#include <cstdio>

namespace com_testing {

inline HRESULT print_step(const char* step, HRESULT hr)
{
    std::printf("%s %08X\n", step, static_cast<unsigned>(hr));
    return hr;
}

template <class Interface>
HRESULT create_served(const CLSID& clsid, const plat::LocalInterface& carried, plat::ComPtr<Interface>& object)
{
    plat::add_local_interface(carried);
    return print_step("create",
                      CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, Interface::iid, object.put_void()));
}

}
