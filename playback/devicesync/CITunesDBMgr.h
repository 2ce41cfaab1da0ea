#pragma once
// Copies video files to a connected iPod by driving the music library's
// automation objects, and reports its status and progress to listeners.

#include "platform/base/Types.h"

#include <atomic>
#include <string>
#include <thread>
#include <vector>

class ISyncEventListener;
struct IiTunes;
struct IiTunesPlaylists;

class CITunesDBMgr {
public:
    enum SyncStatus : DWORD {
        SyncStarted = 1,
        SyncProcessing = 2,
        SyncFinished = 3,
        SyncFailed = 4,
        SyncCancelled = 5,
        SyncAlreadyThere = 6,
    };

    CITunesDBMgr() = default;
    ~CITunesDBMgr();
    CITunesDBMgr(const CITunesDBMgr&) = delete;
    CITunesDBMgr& operator=(const CITunesDBMgr&) = delete;

    // Copies the files in order. Threaded, on a thread of its own (0 at once);
    // else on the caller's thread, which has initialised COM (E_FAIL when not
    // every file was copied). Listeners are called on the copying thread.
    HRESULT Sync(const std::vector<std::string>& files, bool threaded);

    // Returns once a threaded copy has ended.
    void Wait();

    // Listeners are added before the first Sync.
    void AddListener(ISyncEventListener* listener);

    // Stops the copying before the next player playlist is tried.
    void Cancel() { m_cancel = true; }

    DWORD Status() const { return m_status; }
    DWORD Progress() const { return m_progress; }

private:
    bool worker(const std::vector<std::string>& files);
    bool copy_files(IiTunes& application, IiTunesPlaylists* player, const std::vector<std::string>& files);
    void set_status(DWORD status);

    std::vector<ISyncEventListener*> m_listeners;   // fixed once copying starts
    std::atomic<DWORD> m_status{0};
    std::atomic<DWORD> m_progress{0};
    std::atomic<bool> m_cancel{false};
    std::thread m_worker;   // last member: joined before the rest go
};
