#pragma once
// The play task record that the play logic hands to the play controller
// (commands 12293 and 12294) and the controller hands on to the video engine.

#include "platform/base/Types.h"

#include <array>
#include <string>

struct PlayTaskInfo {
    DWORD id[4]{};                    // binding id; all zero: not yet assigned
    std::array<BYTE, 168> block{};    // the play logic's own; copied with the record
    std::u16string local_path;        // empty when the item is only a URL
    std::string url;
    std::string title;                // UTF-8; also a fallback key of the binding id
    LONG value = 0;                   // handed to the download manager unchanged
    LONG numeric_key = 0;             // nonzero: its hexadecimal text is the binding sub-key
    LONG second_key = 0;              // nonzero (numeric key zero): the sub-key is "0"
    LONG start_position = 0;          // inserted clip: main item's position (s) it starts at
    LONG spare = 0;
    LONG pause_main = 0;              // 1: an inserted clip pauses the main item
    LONG quality = 0;                 // 1 standard, 2 or 3 high definition

    bool has_id() const { return id[0] || id[1] || id[2] || id[3]; }
    // A local file: a path that is not an address.
    bool is_local_file() const
    {
        return !local_path.empty() && local_path.find(u"://") == std::u16string::npos;
    }
};
