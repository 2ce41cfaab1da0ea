#pragma once
// One run of the thumbnail task: an item's description pictures submitted to
// the download manager, counted back as their downloads end.

#include "outside/ostrel/DownloadTaskInfo.h"

#include <cstdint>
#include <string>

class CPrefechMgr;

struct tPrefechJob {
    CPrefechMgr* owner = nullptr;
    DownloadTaskInfo task;          // the record handed over for each picture
    std::string item_key;           // the item's original_media_url
    std::string new_description;    // the description with local picture addresses
    std::string thumb_path;         // the item's local_thumb_file_path after the rewrite

    // Guarded by the owner's job lock while the job is listed.
    std::int32_t expected = 0;      // picture downloads the manager accepted
    std::int32_t finished = 0;      // of those, reported finished
    std::int32_t failed = 0;        // of those, reported failed
    bool submitting = true;         // more pictures may still be submitted
    bool written = false;           // the item was written back

    // Every accepted picture has ended, one way or the other.
    bool all_ended() const { return !submitting && finished + failed >= expected; }
    // Every accepted picture is stored: the item may point at them.
    bool all_finished() const { return !submitting && finished >= expected; }
};
