#pragma once
// The download manager's task record: what callers hand to IOstrel::AddTask and
// what every event of the manager names as its sender.

#include "platform/base/Types.h"

#include <string>

struct DownloadTaskInfo {
    DWORD id[4]{};   // binding id of the item; all zero: none

    // The manager's own part: filled in the records its events carry.
    struct Block {
        LONGLONG total_size = 0;   // bytes; 0 while unknown
        LONGLONG downloaded = 0;   // bytes present
    } block;

    std::string key;       // identifies the task: the media or picture address
    std::string address;   // a further address; when not empty it is the one fetched
    std::string title;     // UTF-8
    LONG value = 0;        // handed back unchanged
    LONG numeric_key = 0;
    LONG second_key = 0;
    LONG mode = 0;         // 1 for a video
    LONG quality = 0;      // 1 standard, 2 high definition
    std::u16string local_path;   // target file; empty: a file in the manager's cache folder

    bool has_id() const { return id[0] || id[1] || id[2] || id[3]; }
};
