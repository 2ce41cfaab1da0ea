// The QuickTime source module: the "QT Source" filter, created by class id
// and registered among the DirectShow filters.

#include "platform/base/DebugLog.h"
#include "platform/com/ServerExports.h"
#include "platform/dshow/FilterClass.h"
#include "platform/dshow/FilterRegistration.h"
#include "platform/dshow/MediaFormats.h"
#include "qtsource/MossveilSourceFilter.h"

#include <string>

namespace {

const plat::ServerClass classes[] = {
    plat::filter_class<MossveilSourceFilter>({CLSID_MossveilSource, "KVR QT source", "", "", "Both"}),
};

constexpr plat::PinTypeSetup output_types[] = {{&MEDIATYPE_Stream, &GUID_NULL}};
constexpr plat::PinSetup pins[] = {
    {"Output", false, true, true, true, output_types},
};
const plat::FilterSetup filter{&CLSID_MossveilSource, "KVR QT source", MERIT_DO_NOT_USE, pins};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer()
{
    if (HRESULT hr = plat::register_server(classes); FAILED(hr)) return hr;
    if (LONG rc = plat::write_filter_keys(filter); rc != ERROR_SUCCESS) {
        plat::debug_log("mossveil: cannot register the filter data: registry error " + std::to_string(rc));
        return SELFREG_E_CLASS;
    }
    return S_OK;
}
HRESULT DllUnregisterServer()
{
    const LONG rc = plat::remove_filter_keys(CLSID_MossveilSource);
    const HRESULT hr = plat::unregister_server(classes);
    return rc == ERROR_SUCCESS ? hr : SELFREG_E_CLASS;
}
