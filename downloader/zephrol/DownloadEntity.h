#pragma once
// The segment master's record of one source: the slave that downloads, the
// segments assigned to it, and the figures by which the master judges
// whether the slave is late.

#include "downloader/zephrol/Interfaces.h"

#include <ctime>
#include <deque>

class tSegmentAllocator;
class IP2PItemInit;

enum EntityType : DWORD {
    ENTITY_HTTP = 1,
    ENTITY_P2P = 2,
    ENTITY_PROBE = 3,   // asks whether the site answers byte ranges; gets no segments
};

inline constexpr DWORD FULL_BATCH = 20;
// The user name under which the master holds everything it uses.
inline constexpr const char* MASTER_USER = "VessikDownloadItem";

class tDownloadEntity {
public:
    explicit tDownloadEntity(EntityType type) : type(type) {}
    virtual ~tDownloadEntity() = default;
    tDownloadEntity(const tDownloadEntity&) = delete;
    tDownloadEntity& operator=(const tDownloadEntity&) = delete;

    // Lets go of the slave's interfaces and hands every assigned segment back.
    virtual void ReleaseSlave(tSegmentAllocator& allocator);
    // Drops the assigned segment at the record's offset with the record's
    // buffer; false when none is assigned. A size that differs is reported.
    bool RemoveSegment(const tSegmentRecord& record);
    // The assigned segment at the record's offset with its buffer, or null.
    const tSegmentRecord* FindSegment(const tSegmentRecord& record) const;
    void GiveBack(tSegmentAllocator& allocator);
    // A late slave gets smaller batches, down to 8.
    void Shrink();
    void ResetBatch() { batch = FULL_BATCH; }
    // After each accepted assignment.
    void RestartStatistics(std::time_t now);

    const EntityType type;
    std::deque<tSegmentRecord> segments;   // assigned, offset form
    DWORD batch{FULL_BATCH};
    ICorvaDownloadItem* item{nullptr};
    ISegmentSlave* slave{nullptr};         // null for the probe
    bool waiting{false};
    DWORD failures{0};
    std::time_t start{0};
    DWORD received{0};                     // bytes since the assignment
    DWORD assigned{0};                     // bytes assigned
    DWORD speed{0};                        // bytes per second
    DWORD expected{0};                     // seconds the assignment should take
    bool progressive{false};
};

// An HTTP slave (type 1) or the probe (type 3), with the slave's IHTTPDownload.
class tHTTPDownloadEntity : public tDownloadEntity {
public:
    explicit tHTTPDownloadEntity(EntityType type = ENTITY_HTTP) : tDownloadEntity(type) {}
    void ReleaseSlave(tSegmentAllocator& allocator) override;

    IHTTPDownload* http{nullptr};
};

class tHTTPDetectPartialEntity : public tHTTPDownloadEntity {
public:
    tHTTPDetectPartialEntity() : tHTTPDownloadEntity(ENTITY_PROBE) {}
};

// A slave of the peer-to-peer core, with its set-up interface.
class tP2PDownloadEntity : public tDownloadEntity {
public:
    tP2PDownloadEntity() : tDownloadEntity(ENTITY_P2P) {}
    void ReleaseSlave(tSegmentAllocator& allocator) override;

    IP2PItemInit* init{nullptr};
};
