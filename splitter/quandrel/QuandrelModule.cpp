// The quandrel module: the splitter filter, created by class id and
// registered with its filter setup data.

#include "platform/com/ServerExports.h"
#include "platform/dshow/FilterClass.h"
#include "platform/dshow/FilterRegistration.h"
#include "splitter/quandrel/Quandrel.h"
#include "splitter/quandrel/QuandrelSetup.h"

namespace {

const plat::ServerClass classes[] = {plat::filter_class<CQuandrel>(quandrel::registration)};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}

HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }

HRESULT DllRegisterServer() { return plat::register_filter_module(classes, quandrel::filter_setup); }

HRESULT DllUnregisterServer() { return plat::unregister_filter_module(classes, CLSID_QuandrelSplitter); }
