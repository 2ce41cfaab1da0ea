#include "NullP2PCore.h"

IDownloadCore* CreateP2PDownloader(const char* user)
{
    try {
        auto core = std::make_unique<tNullP2PCore>();
        void* out = nullptr;
        if (core->QueryInterface(ID_IDownloadCore, &out, user) != RESULT_OK) return nullptr;
        core.release();
        return static_cast<IDownloadCore*>(out);
    } catch (...) {
        return nullptr;
    }
}

void DeleteP2PDownloader(IDownloadCore* core)
{
    delete static_cast<tNullP2PCore*>(core);
}
