// Feldane, the script host module.

#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "scripthost/feldane/CFeldaneEngine.h"
#include "scripthost/feldane/CScriptHelper.h"
#include "scripthost/feldane/CScriptLogger.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<CFeldaneEngine>({CLSID_FeldaneEngine, "FeldaneEngine Class", "Feldane.FeldaneEngine.1",
                                        "Feldane.FeldaneEngine", "Apartment"}),
    plat::server_class<CScriptHelper>({CLSID_ScriptHelper, "ScriptHelper Class", "Feldane.ScriptHelper.1",
                                       "Feldane.ScriptHelper", "Apartment"}),
    plat::server_class<CScriptLogger>({CLSID_ScriptLogger, "ScriptLogger Class", "Feldane.ScriptLogger.1",
                                       "Feldane.ScriptLogger", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
