#pragma once
// The prefetch manager as the main program sees it: one worker that fetches
// feed items' videos and description pictures ahead of time and writes what
// it learns back into the feed database. Slots in order; the program calls
// Init, Uninit, Resume, Pause, the plain Wake and SetFavouritesFlag.

#include "platform/base/Types.h"

class IOstrel;
class CRSSDBMgr;

class IPrefechManager {
public:
    // Slot 0. Registers with the download manager and the database, starts the
    // worker (paused until Resume). The image folder is UTF-8; null or empty
    // means "Image/" in the program's data folder. False when either of the
    // first two is null.
    virtual bool Init(IOstrel* downloader, CRSSDBMgr* database, const char* image_folder) = 0;
    // Slot 1. Stops and joins the worker, cuts a job short, unregisters. True.
    virtual bool Uninit() = 0;
    // Slot 2. Lets the worker run its cycles; 0.
    virtual LONG Resume() = 0;
    // Slot 3. The next cycle waits for Resume; a cycle under way finishes. 0.
    virtual LONG Pause() = 0;
    // Slot 4. Keeps the two values (nothing reads them) and wakes the worker.
    virtual LONG Wake(LONG first, LONG second) = 0;
    // Slot 5. Ends the worker's pause between cycles at once.
    virtual LONG Wake() = 0;
    // Slot 6. 1 after Resume, 0 after Pause and at creation.
    virtual LONG IsRunning() = 0;
    // Slot 7. Whether the favourites pass runs (initially yes).
    virtual void SetFavouritesFlag(bool on) = 0;
    // Slot 8. The worker's body, which the worker thread runs; a call while it
    // runs returns at once.
    virtual DWORD WorkerThread() = 0;

protected:
    ~IPrefechManager() = default;
};

extern "C" {
// A new manager; null when memory runs out.
IPrefechManager* CreatePrefechManager();
// Stops a manager that still runs, then frees it. Null is ignored.
void ReleasePrefechManager(IPrefechManager* manager);
}
