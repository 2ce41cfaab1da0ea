#pragma once
// The four exports of a COM server module, as the loader and the registration
// tool look them up by name.

#include "platform/base/Guid.h"
#include "platform/base/HResult.h"

extern "C" {
[[gnu::visibility("default")]] HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
[[gnu::visibility("default")]] HRESULT DllCanUnloadNow();
[[gnu::visibility("default")]] HRESULT DllRegisterServer();
[[gnu::visibility("default")]] HRESULT DllUnregisterServer();
}

namespace plat {

using DllGetClassObjectFunction = HRESULT (*)(REFCLSID, REFIID, void**);
using DllServerFunction = HRESULT (*)();

}
