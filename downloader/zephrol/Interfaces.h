#pragma once
// The interfaces of the segmented downloader, asked for by id
// (BaseInterface.h): the download cores, their items, the master-slave pair
// that moves segments, and the events items send to their handler. The
// outside peer-to-peer core implements the core, item and slave interfaces too.
// Every slot returns a code and throws nothing.

#include "components/common/baseinterface/BaseInterface.h"
#include "components/common/murrel/Interfaces.h"

class ICorvaEventHandler;
class ISegmentMaster;

inline constexpr DWORD SEGMENT_BYTES = 32768;

// One segment handed between allocator, entities and slaves: the byte offset,
// the size, and the master's buffer of that size (null until assigned).
struct tSegmentRecord {
    DWORD offset;
    DWORD size;
    BYTE* data;
};

// Event codes sent to an ICorvaEventHandler.
inline constexpr DWORD EVENT_STOPPED = 2;
inline constexpr DWORD EVENT_COMPLETE = 100;
inline constexpr DWORD EVENT_FAILED = 101;
inline constexpr DWORD EVENT_PROGRESS = 102;
inline constexpr DWORD EVENT_DATA = 103;
inline constexpr DWORD EVENT_PARTIAL_DETECT = 104;

struct tCorvaEvent {
    explicit tCorvaEvent(DWORD code) : code(code) {}
    DWORD code;
};

struct tDownloadProgressEvent : tCorvaEvent {
    tDownloadProgressEvent(DWORD downloaded, DWORD percent)
        : tCorvaEvent(EVENT_PROGRESS), downloaded(downloaded), percent(percent) {}
    DWORD downloaded;
    DWORD percent;
};

struct tDownloadDataNotify : tCorvaEvent {
    tDownloadDataNotify(DWORD offset, DWORD size) : tCorvaEvent(EVENT_DATA), offset(offset), size(size) {}
    DWORD offset;
    DWORD size;
};

struct tDownloadFailEvent : tCorvaEvent {
    explicit tDownloadFailEvent(DWORD error) : tCorvaEvent(EVENT_FAILED), error(error) {}
    DWORD error;   // the failure's sub-code; 0 when none is told
};

// Whether a server answers byte ranges.
inline constexpr DWORD PARTIAL_UNDETERMINED = 0;
inline constexpr DWORD PARTIAL_SUPPORTED = 1;
inline constexpr DWORD PARTIAL_UNSUPPORTED = 2;

struct tDownloadPartialDetectEvent : tCorvaEvent {
    explicit tDownloadPartialDetectEvent(DWORD answer) : tCorvaEvent(EVENT_PARTIAL_DETECT), answer(answer) {}
    DWORD answer;
};

// Receives an item's events (id 101). Called on the item's threads; the
// event lives only during the call. A handler must not delete the item that
// calls it (DeleteDownloadItem, Uninit) from inside OnEvent: deleting joins
// the very thread the call runs on, or waits for the lock that thread holds,
// and never returns. Post the deletion to a thread of your own instead.
class ICorvaEventHandler : public IBaseInterface {
public:
    virtual BaseResult OnEvent(const tCorvaEvent& event, std::intptr_t context) noexcept = 0;

protected:
    ~ICorvaEventHandler() = default;
};

// A download item as its owner drives it (id 401).
class ICorvaDownloadItem : public IBaseInterface {
public:
    virtual BaseResult Start() noexcept = 0;
    virtual BaseResult Stop() noexcept = 0;
    virtual BaseResult Pause() noexcept = 0;
    virtual BaseResult Seek(DWORD position) noexcept = 0;
    virtual BaseResult SetRate(DWORD bytes_per_second) noexcept = 0;
    // Either pointer may be null.
    virtual BaseResult GetProgress(DWORD* downloaded, DWORD* percent) noexcept = 0;
    virtual BaseResult GetTotalSize(DWORD* total) noexcept = 0;
    virtual BaseResult GetState(DWORD* state) noexcept = 0;
    virtual BaseResult GetSpeed(DWORD* speed) noexcept = 0;
    virtual BaseResult SetEventHandler(ICorvaEventHandler* handler, std::intptr_t context) noexcept = 0;

protected:
    ~ICorvaDownloadItem() = default;
};

// A maker and owner of download items (id 400).
class IDownloadCore : public IBaseInterface {
public:
    // The item's ICorvaDownloadItem, its use counted for `user`; 100 on failure (out unchanged).
    virtual BaseResult CreateDownloadItem(ICorvaDownloadItem** out, const char* user) noexcept = 0;
    // Destroys an item this core made; 107 for any other.
    virtual BaseResult DeleteDownloadItem(ICorvaDownloadItem* item) noexcept = 0;

protected:
    ~IDownloadCore() = default;
};

// The worker side of a segmented download (id 405).
class ISegmentSlave : public IBaseInterface {
public:
    virtual BaseResult SetSegmentMode(bool on) noexcept = 0;
    virtual BaseResult SetSegmentSize(DWORD size) noexcept = 0;
    // One run of consecutive segments whose buffers the master keeps owning.
    // 104 when the run has a gap, 106 when it passes the known total size.
    virtual BaseResult AssignSegments(const tSegmentRecord* records, DWORD count) noexcept = 0;
    virtual BaseResult SetMaster(ISegmentMaster* master) noexcept = 0;
    // Drops every queued segment: the slave touches none of their buffers afterwards.
    virtual BaseResult ClearSegments() noexcept = 0;

protected:
    ~ISegmentSlave() = default;
};

// What slaves tell the master (id 404). Called on the slaves' threads; each only posts.
class ISegmentMaster : public IBaseInterface {
public:
    virtual BaseResult RequestReassign(ISegmentSlave* slave) noexcept = 0;
    virtual BaseResult SegmentDownloaded(tSegmentRecord record, ISegmentSlave* slave) noexcept = 0;
    virtual BaseResult SegmentRefused(tSegmentRecord record, ISegmentSlave* slave) noexcept = 0;
    // The bytes are copied before the call returns.
    virtual BaseResult FragmentData(DWORD offset, const BYTE* bytes, DWORD size, ISegmentSlave* slave) noexcept = 0;

protected:
    ~ISegmentMaster() = default;
};

// Modes of an HTTP download item.
inline constexpr int MODE_DOWNLOAD_FILE = 1;
inline constexpr int MODE_DOWNLOAD_SEGMENT = 2;
inline constexpr int MODE_DOWNLOAD_PROGRESSIVE = 3;
inline constexpr int MODE_P2P = 4;
inline constexpr int MODE_TEST_PARTIAL = 5;

// Sub-codes of an HTTP item's failures (event 101).
inline constexpr DWORD HTTP_ERROR_OPTION = 1;
inline constexpr DWORD HTTP_ERROR_CREATE = 2;
inline constexpr DWORD HTTP_ERROR_TRANSFER = 5;
inline constexpr DWORD HTTP_ERROR_RANGE_REFUSED = 6;

// The HTTP side of an item of the HTTP core (id 403).
class IHTTPDownload : public IBaseInterface {
public:
    virtual BaseResult Init() noexcept = 0;
    virtual BaseResult Uninit() noexcept = 0;
    virtual BaseResult SetUserAgent(const char* agent) noexcept = 0;
    virtual BaseResult SetURL(const char* url) noexcept = 0;
    virtual BaseResult SetFilePath(const WCHAR* path) noexcept = 0;
    virtual BaseResult SetSiteSeek(bool allowed) noexcept = 0;
    // 0 ranges answered, 100 refused, 112 not known yet.
    virtual BaseResult GetRangeState() noexcept = 0;
    virtual BaseResult SetTotalSize(DWORD total) noexcept = 0;
    virtual BaseResult SetFallback(bool on) noexcept = 0;
    virtual BaseResult SetMode(int mode) noexcept = 0;

protected:
    ~IHTTPDownload() = default;
};

// What the user of a segment master gives it.
struct tDownloadParam {
    BYTE http_enabled;
    BYTE p2p_enabled;
    IDataCacheItem* cache_item;   // required
    DWORD max_http;               // most HTTP connections at once
    const char* url;              // null or empty: no HTTP source
    tContentKey content_key;      // all zero: no peer-to-peer source
    BYTE p2p_option;
    DWORD rate_kbps;              // 0: unpaced
};

// The segment master's own side (id 406).
class IVessikDownload : public IBaseInterface {
public:
    virtual BaseResult Init(const tDownloadParam* param) noexcept = 0;
    virtual BaseResult Uninit() noexcept = 0;
    virtual BaseResult UpdateParam(const tDownloadParam* param) noexcept = 0;
    virtual BaseResult SetSiteSeek(bool allowed) noexcept = 0;

protected:
    ~IVessikDownload() = default;
};

// The user's peer-to-peer settings as they reach the download core.
struct tZephrolSettings {
    WORD value1;
    const char* text;
    WORD value2;
    DWORD value3;
    DWORD value4;
};

// Peer-to-peer settings of the download core (id 408).
class IZephrolSet : public IBaseInterface {
public:
    virtual BaseResult SetParam(const tZephrolSettings* settings) noexcept = 0;
    virtual BaseResult EnableP2P(bool on) noexcept = 0;

protected:
    ~IZephrolSet() = default;
};
