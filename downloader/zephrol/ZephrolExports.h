#pragma once
// The exports of the zephrol library. What CreateZephrol hands out belongs to
// the caller and is freed only by DeleteZephrol.

#include "downloader/zephrol/Interfaces.h"

#define ZEPHROL_EXPORT __attribute__((visibility("default")))

extern "C" {
// The download core, its use counted for `user`; null on failure.
ZEPHROL_EXPORT IDownloadCore* CreateZephrol(const char* user);
// Destroys the core with every item it made. Null is ignored.
ZEPHROL_EXPORT void DeleteZephrol(IDownloadCore* core);
}
