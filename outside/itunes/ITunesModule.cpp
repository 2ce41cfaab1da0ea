// The music library stand-in: its application class, created by class id.

#include "ITunesApplication.h"
#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<itunes::ITunesApplication>({CLSID_iTunesApp, "iTunes Application", "iTunes.Application.1",
                                                    "iTunes.Application", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
