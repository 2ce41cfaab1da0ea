// The QuickTime source module: the "QT Source" filter, created by class id
// and registered among the DirectShow filters.

#include "platform/com/ServerExports.h"
#include "platform/dshow/FilterClass.h"
#include "platform/dshow/FilterRegistration.h"
#include "platform/dshow/MediaFormats.h"
#include "qtsource/MossveilSourceFilter.h"

namespace {

const plat::ServerClass classes[] = {
    plat::filter_class<MossveilSourceFilter>({CLSID_MossveilSource, "KVR QT source", "", "", "Both"}),
};

const plat::PinSetup pins[] = {
    {"Output", plat::PinOutput | plat::PinZeroAllowed | plat::PinManyAllowed, MEDIATYPE_Stream, GUID_NULL},
};
const plat::FilterSetup filter{CLSID_MossveilSource, "KVR QT source", MERIT_DO_NOT_USE, pins};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer()
{
    const HRESULT hr = plat::register_server(classes);
    return FAILED(hr) ? hr : plat::register_filter(filter);
}
HRESULT DllUnregisterServer()
{
    const HRESULT hr = plat::unregister_filter(CLSID_MossveilSource);
    const HRESULT classes_removed = plat::unregister_server(classes);
    return FAILED(hr) ? hr : classes_removed;
}
