// The library's two exports.

#include "prefetch/CPrefechMgr.h"

#include <new>

IPrefechManager* CreatePrefechManager()
{
    return new (std::nothrow) CPrefechMgr();
}

void ReleasePrefechManager(IPrefechManager* manager)
{
    // The destructor stops a worker that still runs before anything goes.
    delete static_cast<CPrefechMgr*>(manager);
}
