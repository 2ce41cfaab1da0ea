#pragma once
// Records of the feed database's folder and download rows. The channel and
// item records are RSSData's.

#include <cstdint>
#include <string>

struct RSSFolderRecord {
    std::int64_t id{0};                 // 0 until stored
    std::int32_t type{1};
    std::string name;
    std::int64_t parent_folder_id{0};   // 0: top-level (stored as NULL)
    bool is_predefine{false};
};

struct ItemDownloadRecord {
    std::int64_t id{0};            // the item's id
    std::int32_t type{4};
    std::int32_t status{0};        // numbered by the download logic
    std::int32_t percent{0};       // 0..100
    std::int64_t total_size{0};    // bytes
};

// A row of the sync-info table: an item queued for or copied to the device.
struct ItemSyncRecord {
    std::int64_t id{0};                  // the item's id
    std::int32_t type{0};
    std::int32_t download_status{0};
    std::int32_t download_percent{0};    // 0..100
    std::int32_t sync_status{0};         // 0 not started .. 6 already on the device
    std::int64_t total_size{0};          // bytes
};
