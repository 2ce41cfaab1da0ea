#include "screens/settings/CacheFolder.h"

#include "platform/base/Utf.h"
#include "platform/devices/Drives.h"
#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"

#include <cstdio>
#include <filesystem>
#include <vector>

namespace UI {

namespace {

constexpr double BytesPerGB = 1073741824.0;

}

CacheUsage MeasureCacheFolder(const std::string& folder)
{
    CacheUsage usage;
    std::vector<plat::FolderEntry> entries;
    plat::list_folder(folder, entries);
    for (const plat::FolderEntry& entry : entries)
        if (entry.kind == plat::EntryKind::File) usage.used += entry.size;
    ULARGE_INTEGER free{};
    const std::u16string wide = plat::utf8_to_utf16(folder);
    if (GetDiskFreeSpaceExW(wide.c_str(), nullptr, nullptr, &free)) usage.free = free.QuadPart;
    return usage;
}

int CacheUsagePercent(const CacheUsage& usage)
{
    const double used_gb = double(usage.used) / BytesPerGB;
    const double total_gb = (double(usage.used) + double(usage.free)) / BytesPerGB;
    if (usage.used == 0 || total_gb <= 0) return 0;
    if (usage.free == 0) return 100;
    const int percent = int(used_gb / total_gb * 100);
    return percent == 0 ? 1 : percent;
}

std::u16string CacheUsageText(const CacheUsage& usage)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.3fGB / %0.3fGB", double(usage.used) / BytesPerGB,
                  (double(usage.used) + double(usage.free)) / BytesPerGB);
    return plat::utf8_to_utf16(text);
}

bool IsCleanableFolder(const std::string& folder)
{
    if (folder.empty()) return false;
    const std::filesystem::path path(folder);
    if (!path.is_absolute()) return false;
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error || real == real.root_path()) return false;
    return std::filesystem::is_directory(real, error);
}

bool CleanCacheFolder(const std::string& folder)
{
    if (!IsCleanableFolder(folder)) return false;
    std::vector<plat::FolderEntry> entries;
    plat::list_folder(folder, entries);
    for (const plat::FolderEntry& entry : entries) {
        if (entry.kind != plat::EntryKind::File) continue;
        // A link is removed itself; what it points at stays.
        std::error_code error;
        std::filesystem::remove(plat::join_path(folder, entry.name), error);
    }
    return true;
}

}
