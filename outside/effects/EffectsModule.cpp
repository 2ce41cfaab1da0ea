// The built-in visualisation effect, created by class id; registering it also
// lists it among the effects the visualisation enumerates.

#include "LevelsEffect.h"

#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "platform/registry/Registry.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<effects::LevelsEffect>(
        {effects::CLSID_LevelsEffect, "Strimo Levels Effect", "Strimo.LevelsEffect.1", "Strimo.LevelsEffect", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer()
{
    const HRESULT hr = plat::register_server(classes);
    if (FAILED(hr)) return hr;
    return effects::register_effect() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}
HRESULT DllUnregisterServer()
{
    effects::unregister_effect();
    return plat::unregister_server(classes);
}
