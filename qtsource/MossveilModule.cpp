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
HRESULT DllRegisterServer() { return plat::register_filter_module(classes, filter); }
HRESULT DllUnregisterServer() { return plat::unregister_filter_module(classes, CLSID_MossveilSource); }
