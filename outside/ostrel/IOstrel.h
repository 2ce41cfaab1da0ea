#pragma once
// The download manager as the application and the play controller see it.
// Every operation is safe from any thread. Events reach listeners on the
// manager's own event thread, with a copy of the task's record as sender:
//   36865 state change: value 4 finished, 6 failed;
//   36866 progress: value the bytes present, extra the percent (0 while the size is unknown);
//   36869 progress of a transfer: value the byte position it started at, extra the bytes since.

#include "components/common/controlengine/IBaseEventHandler.h"
#include "outside/ostrel/DownloadTaskInfo.h"

#include <chrono>

// Results of IOstrelItem::Read and IOstrelItem::SegmentState.
inline constexpr LONG OSTREL_OK = 0;
inline constexpr LONG OSTREL_FAILURE = 100;          // bad arguments
inline constexpr LONG OSTREL_CANCELLED = 109;        // the task was removed or its download failed
inline constexpr LONG OSTREL_END_OF_CONTENT = 1000;
inline constexpr LONG OSTREL_NOT_ARRIVED = 1001;

inline constexpr LONGLONG OSTREL_SEGMENT_SIZE = 32768;

// Task kinds of IOstrel::AddTask.
inline constexpr LONG OSTREL_KIND_CHANNEL_VIDEO = 0;
inline constexpr LONG OSTREL_KIND_FAVOURITE_VIDEO = 1;
inline constexpr LONG OSTREL_KIND_USER_VIDEO = 2;
inline constexpr LONG OSTREL_KIND_PICTURE = 3;
inline constexpr LONG OSTREL_KIND_PLAY_NOW = 4;   // fetched before every other kind

// The download of one item, as found through the item store.
class IOstrelItem {
public:
    // Frees this lookup; the item must not be used afterwards.
    virtual void Release(const char* user) = 0;
    // OSTREL_OK when the 32,768-byte segment is present, else OSTREL_NOT_ARRIVED.
    virtual LONG SegmentState(LONGLONG index) = 0;
    virtual LONGLONG TotalSize() = 0;    // 0 while unknown
    virtual LONGLONG Downloaded() = 0;   // bytes present
    // Reads what has arrived from offset on: OSTREL_OK with *read set (short when
    // a later segment is missing), OSTREL_END_OF_CONTENT at or past the end,
    // OSTREL_NOT_ARRIVED when the first byte is missing, OSTREL_CANCELLED.
    virtual LONG Read(LONGLONG offset, void* buffer, LONG size, LONG* read) = 0;

protected:
    ~IOstrelItem() = default;
};

class IOstrelItemStore {
public:
    // The download of the task with this binding id, or null.
    virtual IOstrelItem* Lookup(const DWORD id[4], const char* user) = 0;

protected:
    ~IOstrelItemStore() = default;
};

class IOstrel {
public:
    // Keeps tasks, their segment maps and the cache in folder (created when
    // missing) and resumes the tasks kept there. The second argument is not used.
    virtual BOOL Init(const char* folder, LONG reserved) = 0;
    // Up to three transfers at once when on, one when off. The settings page's
    // network accelerator is this same switch.
    virtual void SetMultiSource(BOOL on) = 0;
    // Offline, running transfers stop and none start until online again.
    virtual void SetOnline(BOOL online) = 0;
    // Tasks neither finished, failed nor paused.
    virtual LONG GetActiveCount() = 0;
    virtual void AddListener(IBaseEventHandler* listener) = 0;
    // No events reach the listener once this returns (unless called from one of them).
    virtual void RemoveListener(IBaseEventHandler* listener) = 0;
    // Copies the record; nonzero when accepted. A task whose file is complete is
    // reported finished at once.
    virtual LONG AddTask(const DownloadTaskInfo* task, LONG kind) = 0;
    // Removes the tasks of the record's binding id (when it has one) or else of
    // its key, or of key when task is null. A file in the cache folder goes with
    // its last task. Nonzero when a task was removed.
    virtual LONG RemoveTask(const DownloadTaskInfo* task, const char* key) = 0;
    // Interrupts the transfer of the task's file (found as RemoveTask finds it).
    virtual LONG StopTransfer(const DownloadTaskInfo* task, LONG reserved) = 0;
    // Continues the transfer of the task's file from the segment of position on.
    virtual LONG MoveTransfer(const DownloadTaskInfo* task, LONG reserved, LONGLONG position) = 0;
    virtual IOstrelItemStore* GetItemStore() = 0;
    // Starts (or restarts a failed or paused) task of the key.
    virtual LONG Start(LONG reserved, const char* key, LONG flags) = 0;
    virtual LONG Pause(const char* key) = 0;
    virtual LONG Resume(const char* key) = 0;

protected:
    ~IOstrel() = default;
};

extern "C" {
IOstrel* CreateOstrel();
void ReleaseOstrel(IOstrel* ostrel);
}

namespace ostrel {

struct Options {
    std::chrono::seconds stall_time{30};             // no byte for this long fails an attempt
    int retries = 3;                                 // further attempts after a network failure
    std::chrono::milliseconds retry_delay{2000};
};

// As CreateOstrel, with settings of its own; freed by ReleaseOstrel.
IOstrel* create(const Options& options);

}
