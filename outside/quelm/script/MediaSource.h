#pragma once
// Where the scripted engine reads an item: a local file, or the download
// manager's copy of it while it arrives.

#include "outside/ostrel/IOstrel.h"

#include <memory>
#include <string>

namespace quelm {

class MediaSource {
public:
    virtual ~MediaSource() = default;
    // OSTREL_OK, OSTREL_NOT_ARRIVED, OSTREL_END_OF_CONTENT or OSTREL_CANCELLED.
    virtual LONG read(LONGLONG offset, void* buffer, LONG size, LONG* read) = 0;
    virtual LONGLONG total() = 0;   // 0 while unknown
};

std::unique_ptr<MediaSource> open_file(const std::string& path);
// Looks the item up again on each read until the download manager knows it.
std::unique_ptr<MediaSource> open_download(IOstrelItemStore* store, const DWORD id[4]);

}
