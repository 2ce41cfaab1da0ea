// The quandrel module: the splitter filter, created by class id and
// registered with its filter setup data.

#include "platform/base/DebugLog.h"
#include "platform/com/ServerExports.h"
#include "platform/dshow/FilterClass.h"
#include "splitter/quandrel/Quandrel.h"
#include "splitter/quandrel/QuandrelSetup.h"

#include <string>

namespace {

const plat::ServerClass classes[] = {plat::filter_class<CQuandrel>(quandrel::registration)};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}

HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }

HRESULT DllRegisterServer()
{
    if (HRESULT hr = plat::register_server(classes); FAILED(hr)) return hr;
    if (LONG rc = plat::write_filter_keys(quandrel::filter_setup); rc != ERROR_SUCCESS) {
        plat::debug_log("quandrel: cannot register the filter data: registry error " + std::to_string(rc));
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT DllUnregisterServer()
{
    const LONG rc = plat::remove_filter_keys(CLSID_QuandrelSplitter);
    const HRESULT hr = plat::unregister_server(classes);
    return rc == ERROR_SUCCESS ? hr : SELFREG_E_CLASS;
}
