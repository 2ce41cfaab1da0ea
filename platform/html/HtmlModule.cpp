// The HTML document module: the document class that readers of item
// descriptions create by class id.

#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "platform/html/HtmlDocument.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<plat::html::HtmlDocument>({CLSID_HTMLDocument, "HTML Document", "htmlfile", "", "Apartment"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
