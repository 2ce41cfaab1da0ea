#pragma once
// One HTTP GET of a run of segments into a SegmentFile, with libcurl.

#include "platform/base/Types.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>

namespace ostrel {

class SegmentFile;

enum class FetchResult {
    Done,           // the run arrived whole
    Interrupted,    // the caller's flag stopped it
    Changed,        // the server reports another size: the map was emptied
    HttpError,      // the server refused (status 400 and above, or no content)
    NetworkError,   // worth another attempt
};

struct FetchRequest {
    std::string url;
    LONGLONG first_byte;
    LONGLONG last_byte;   // inclusive; -1: to the end
    std::chrono::seconds stall_time;
};

// progress(run_start, bytes since run_start) after every write, on the calling thread.
FetchResult fetch_range(const FetchRequest& request, SegmentFile& file, const std::atomic<bool>& interrupt,
                        const std::function<void(LONGLONG, LONGLONG)>& progress);

}
