#pragma once
// Writes an item's ".info" file on a thread of its own, each time after
// making ".data" durable, so a writer that reaches a save point goes on at
// once instead of waiting for the disk. Only the newest index handed in is
// written; a save that fails leaves the old file, which points only at bytes
// that were durable when it was written.

#include "components/common/murrel/CacheInfo.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

class tDiskSegmentCache;

class tIndexSaver {
public:
    // Only the disk's Flush is called, from the saver's thread.
    tIndexSaver(std::string info_path, tDiskSegmentCache& disk);
    ~tIndexSaver();
    tIndexSaver(const tIndexSaver&) = delete;
    tIndexSaver& operator=(const tIndexSaver&) = delete;

    // Hands in the index to write; it replaces one not yet started.
    void Save(const tCacheInfoHeader& header, std::vector<LONG> table);
    // Waits until nothing is pending or under way.
    void Drain();
    // Drains and ends the thread; the disk may be closed afterwards. Idempotent.
    void Stop();
    // True when a save failed since the last call.
    bool TakeFailure();

private:
    struct Index {
        tCacheInfoHeader header;
        std::vector<LONG> table;
    };
    void run(std::stop_token stop);
    bool write(const Index& index);

    const std::string m_info_path;
    tDiskSegmentCache& m_disk;
    std::mutex m_lock;
    std::condition_variable_any m_changed;
    std::optional<Index> m_pending;   // guarded by m_lock
    bool m_busy{false};               // guarded by m_lock: a save is under way
    bool m_failed{false};             // guarded by m_lock
    std::jthread m_thread;            // last member: joined before the rest go
};
