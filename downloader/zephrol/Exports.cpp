#include "ZephrolExports.h"

#include "OwnedObjects.h"
#include "Zephrol.h"

#include "outside/nimbrel/Nimbrel.h"


IDownloadCore* CreateZephrol(const char* user)
{
    try {
        auto [core, iface] = make_for_user<tZephrol, IDownloadCore>(
            ID_IDownloadCore, user, tP2PCoreFactory{&CreateP2PDownloader, &DeleteP2PDownloader});
        core.release();   // DeleteZephrol frees it
        return iface;
    } catch (...) {
        return nullptr;
    }
}

void DeleteZephrol(IDownloadCore* core)
{
    delete static_cast<tZephrol*>(core);
}
