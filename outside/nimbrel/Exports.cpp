#include "NullP2PCore.h"

#include "downloader/zephrol/OwnedObjects.h"

IDownloadCore* CreateP2PDownloader(const char* user)
{
    try {
        auto [core, iface] = make_for_user<tNullP2PCore, IDownloadCore>(ID_IDownloadCore, user);
        core.release();   // DeleteP2PDownloader frees it
        return iface;
    } catch (...) {
        return nullptr;
    }
}

void DeleteP2PDownloader(IDownloadCore* core)
{
    delete static_cast<tNullP2PCore*>(core);
}
