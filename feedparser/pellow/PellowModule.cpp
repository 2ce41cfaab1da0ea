// Pellow, the feed parser module.

#include "feedparser/pellow/CRSSChannel.h"
#include "feedparser/pellow/CRSSItem.h"
#include "feedparser/pellow/CRSSParser.h"
#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"

namespace {

const plat::ServerClass classes[] = {
    plat::server_class<CRSSParser>(
        {CLSID_RSSParser, "RSSParser Class", "Pellow.RSSParser.1", "Pellow.RSSParser", "Both"}),
    plat::server_class<CRSSChannel>(
        {CLSID_RSSChannel, "RSSChannel Class", "Pellow.RSSChannel.1", "Pellow.RSSChannel", "Both"}),
    plat::server_class<CRSSItem>({CLSID_rssItem, "rssItem Class", "Pellow.RSSItem.1", "Pellow.RSSItem", "Both"}),
};

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}
HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }
HRESULT DllRegisterServer() { return plat::register_server(classes); }
HRESULT DllUnregisterServer() { return plat::unregister_server(classes); }
