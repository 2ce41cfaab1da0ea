#include "Com.h"

#include "Apartment.h"
#include "ClassRegistry.h"
#include "ModuleTable.h"
#include "ServerExports.h"

#include "platform/com/LocalServer.h"

#include "platform/com/ComPtr.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"

#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

namespace {

HRESULT failure(const std::exception& e)
{
    plat::debug_log(std::string("com: ") + e.what());
    return dynamic_cast<const std::bad_alloc*>(&e) ? E_OUTOFMEMORY : E_FAIL;
}

}

HRESULT CoGetClassObject(REFCLSID clsid, DWORD clsctx, LPVOID, REFIID iid, void** object) noexcept
try {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!plat::com_initialized_on_this_thread())
        return CO_E_NOTINITIALIZED;
    // Only in-process servers exist; other contexts find no server for the class.
    if (!(clsctx & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    auto path = plat::inproc_server_of(clsid);
    if (!path)
        return REGDB_E_CLASSNOTREG;
    const plat::LoadedModule* module = nullptr;
    if (HRESULT hr = plat::load_server_module(*path, &module); FAILED(hr))
        return hr;
    auto get_class_object = reinterpret_cast<plat::DllGetClassObjectFunction>(module->symbol("DllGetClassObject"));
    if (!get_class_object) {
        plat::debug_log("com: server module " + *path + " does not export DllGetClassObject");
        return CO_E_ERRORINDLL;
    }
    return get_class_object(clsid, iid, object);
} catch (const std::exception& e) {
    return failure(e);
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsctx, REFIID iid, void** object) noexcept
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    plat::ComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, clsctx, nullptr, IClassFactory::iid, factory.put_void());
    // A class served by a running program of this user (never aggregated).
    if (hr == REGDB_E_CLASSNOTREG && (clsctx & CLSCTX_LOCAL_SERVER) && !outer)
        return plat::create_local_object(clsid, iid, object);
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(outer, iid, object);
}

HRESULT CLSIDFromProgID(const WCHAR* prog_id, CLSID* clsid) noexcept
try {
    if (!prog_id || !clsid)
        return E_INVALIDARG;
    auto found = plat::clsid_of_prog_id(std::u16string_view(prog_id, plat::wide_length(prog_id)));
    if (!found) {
        *clsid = GUID_NULL;
        return CO_E_CLASSSTRING;
    }
    *clsid = *found;
    return S_OK;
} catch (const std::exception& e) {
    return failure(e);
}

void* CoTaskMemAlloc(SIZE_T size) noexcept { return std::malloc(size); }

void CoTaskMemFree(void* block) noexcept { std::free(block); }
