// The script engine module: the JScript engine and the process debug manager.

#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "platform/script/JScriptEngine.h"
#include "platform/script/ProcessDebugManager.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<plat::JScriptEngine>({CLSID_JScript, "JScript Language", "JScript", "", "Both"}),
    plat::server_class<plat::ProcessDebugManager>(
        {CLSID_ProcessDebugManager, "Process Debug Manager", "", "", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
