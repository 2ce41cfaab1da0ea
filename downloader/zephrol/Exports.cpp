#include "ZephrolExports.h"

#include "Zephrol.h"

#include "outside/nimbrel/Nimbrel.h"

#include <memory>

IDownloadCore* CreateZephrol(const char* user)
{
    try {
        auto core = std::make_unique<tZephrol>(tP2PCoreFactory{&CreateP2PDownloader, &DeleteP2PDownloader});
        void* out = nullptr;
        if (core->QueryInterface(ID_IDownloadCore, &out, user) != RESULT_OK) return nullptr;
        core.release();
        return static_cast<IDownloadCore*>(out);
    } catch (...) {
        return nullptr;
    }
}

void DeleteZephrol(IDownloadCore* core)
{
    delete static_cast<tZephrol*>(core);
}
