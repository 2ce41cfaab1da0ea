#pragma once
// The content cache folder as the settings window shows and empties it:
// how much its files take against the space of its volume, and deleting
// the files directly inside it.

#include <cstdint>
#include <string>

namespace UI {

struct CacheUsage {
    std::uint64_t used = 0;   // bytes of the files directly inside the folder
    std::uint64_t free = 0;   // free bytes of the folder's volume
};

// Sizes add up in 64 bits, so files of 4 GiB and more count whole; subfolders
// are not entered. A folder that cannot be read uses nothing.
CacheUsage MeasureCacheFolder(const std::string& folder);

// The share of used in used + free, truncated: 0 when both are 0, at least 1
// for any use, 100 when nothing is free.
int CacheUsagePercent(const CacheUsage& usage);

// "%0.3fGB / %0.3fGB": used and used + free in GiB.
std::u16string CacheUsageText(const CacheUsage& usage);

// Whether the folder may be emptied: an absolute path of an existing folder
// that is not the root of the file system.
bool IsCleanableFolder(const std::string& folder);

// Deletes the files (and links) directly inside the folder, never a subfolder.
// False, deleting nothing, when the folder is not cleanable.
bool CleanCacheFolder(const std::string& folder);

}
