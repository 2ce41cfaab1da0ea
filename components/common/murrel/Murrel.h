#pragma once
// The exports of the murrel library. What Create hands out belongs to the
// caller and is freed only by the matching Delete of this library.

#include "components/common/murrel/Export.h"
#include "components/common/murrel/Interfaces.h"

extern "C" {

// The content cache manager, its use counted for `user`; null on failure.
MURREL_EXPORT IMurrel* CreateMurrel(const char* user);
// Releases `user`'s use and destroys the manager whatever other uses remain.
MURREL_EXPORT BaseResult DeleteMurrel(IMurrel* manager, const char* user);

// The live cache manager, its use counted for `user`; null on failure.
MURREL_EXPORT ITVCacheManager* CreateTVCacheManager(const char* user);
// Releases `user`'s use and destroys the manager with every live item.
MURREL_EXPORT BaseResult DeleteTVCacheManager(ITVCacheManager* manager, const char* user);
}
