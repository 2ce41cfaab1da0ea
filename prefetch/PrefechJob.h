#pragma once
// One run of the thumbnail task: an item's description pictures given local
// files, the missing ones submitted to the download manager and counted back
// as their downloads end.

#include "outside/ostrel/DownloadTaskInfo.h"
#include "platform/com/ComPtr.h"
#include "platform/html/HtmlInterfaces.h"

#include <map>
#include <string>
#include <vector>

class CPrefechMgr;

struct tPrefechJob {
    enum class Picture { Pending, Finished, Failed };

    // A picture element pointed at its local file, with the address it had.
    struct Placed {
        plat::ComPtr<IHTMLImgElement> element;
        std::string address;
        std::string local_path;
    };

    CPrefechMgr* owner = nullptr;
    DownloadTaskInfo task;          // the record handed over for each picture
    std::string item_key;           // the item's original_media_url
    std::string new_description;    // the description with local picture addresses
    std::string thumb_path;         // the item's local_thumb_file_path after the rewrite

    // Guarded by the owner's job lock while the job is listed.
    std::map<std::string, Picture> downloads;   // by local path: the pictures the manager accepted
    bool submitting = true;                     // more pictures may still be submitted

    // The worker's alone: the document stays open until the job ends.
    plat::ComPtr<IHTMLDocument2> document;
    std::vector<Placed> placed;

    // Every accepted picture has ended, one way or the other (owner's job lock held).
    bool all_ended() const
    {
        if (submitting)
            return false;
        for (const auto& [path, state] : downloads)
            if (state == Picture::Pending)
                return false;
        return true;
    }
};
