#include "TestVfs.h"

#include <sqlite3.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace feeddb_test {
namespace {

struct ShimFile {
    sqlite3_file base;          // first: SQLite casts between the two
    sqlite3_file* real;         // lives right after this struct, in the same block
    const std::atomic<TestVfs::Full>* full;
    bool main_db;
};

sqlite3_file* real_of(sqlite3_file* file)
{
    return reinterpret_cast<ShimFile*>(file)->real;
}

int shim_close(sqlite3_file* f)
{
    sqlite3_file* real = real_of(f);
    return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}
int shim_read(sqlite3_file* f, void* b, int n, sqlite3_int64 o) { return real_of(f)->pMethods->xRead(real_of(f), b, n, o); }
int shim_write(sqlite3_file* f, const void* b, int n, sqlite3_int64 o)
{
    const auto* shim = reinterpret_cast<ShimFile*>(f);
    const TestVfs::Full full = shim->full->load();
    if (full == TestVfs::Full::Everything || (full == TestVfs::Full::DatabaseFileOnly && shim->main_db))
        return SQLITE_FULL;
    return real_of(f)->pMethods->xWrite(real_of(f), b, n, o);
}
int shim_truncate(sqlite3_file* f, sqlite3_int64 s) { return real_of(f)->pMethods->xTruncate(real_of(f), s); }
int shim_sync(sqlite3_file* f, int flags) { return real_of(f)->pMethods->xSync(real_of(f), flags); }
int shim_size(sqlite3_file* f, sqlite3_int64* s) { return real_of(f)->pMethods->xFileSize(real_of(f), s); }
int shim_lock(sqlite3_file* f, int l) { return real_of(f)->pMethods->xLock(real_of(f), l); }
int shim_unlock(sqlite3_file* f, int l) { return real_of(f)->pMethods->xUnlock(real_of(f), l); }
int shim_reserved(sqlite3_file* f, int* r) { return real_of(f)->pMethods->xCheckReservedLock(real_of(f), r); }
int shim_control(sqlite3_file* f, int op, void* a) { return real_of(f)->pMethods->xFileControl(real_of(f), op, a); }
int shim_sector(sqlite3_file* f) { return real_of(f)->pMethods->xSectorSize(real_of(f)); }
int shim_device(sqlite3_file* f) { return real_of(f)->pMethods->xDeviceCharacteristics(real_of(f)); }

// Version 1: no shared memory and no memory mapping, which the rollback journal does not need.
const sqlite3_io_methods shim_methods = {1,           shim_close,    shim_read,    shim_write,  shim_truncate,
                                         shim_sync,   shim_size,     shim_lock,    shim_unlock, shim_reserved,
                                         shim_control, shim_sector,  shim_device};

int shim_open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags);
int shim_sleep(sqlite3_vfs* vfs, int microseconds);

}

struct TestVfs::Shim {
    sqlite3_vfs vfs;   // first: SQLite hands this back to shim_open
    sqlite3_vfs* real;
    std::atomic<TestVfs::Full> full{TestVfs::Full::No};
    std::mutex sleep_lock;
    std::condition_variable slept_once;
    bool slept = false;   // guarded by sleep_lock
};

namespace {

int shim_open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* out_flags)
{
    auto* owner = reinterpret_cast<TestVfs::Shim*>(vfs);
    auto* shim = reinterpret_cast<ShimFile*>(file);
    shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
    shim->full = &owner->full;
    shim->main_db = (flags & SQLITE_OPEN_MAIN_DB) != 0;
    const int rc = owner->real->xOpen(owner->real, name, shim->real, flags, out_flags);
    file->pMethods = shim->real->pMethods ? &shim_methods : nullptr;
    return rc;
}

int shim_sleep(sqlite3_vfs* vfs, int microseconds)
{
    auto* owner = reinterpret_cast<TestVfs::Shim*>(vfs);
    {
        std::scoped_lock hold(owner->sleep_lock);
        owner->slept = true;
    }
    owner->slept_once.notify_all();
    return owner->real->xSleep(owner->real, microseconds);
}

}

TestVfs::TestVfs() : m_shim(std::make_unique<Shim>())
{
    m_shim->real = sqlite3_vfs_find(nullptr);
    m_shim->vfs = *m_shim->real;
    m_shim->vfs.zName = "test-shim";
    m_shim->vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + m_shim->real->szOsFile;
    m_shim->vfs.xOpen = shim_open;
    m_shim->vfs.xSleep = shim_sleep;
    m_shim->vfs.pNext = nullptr;
    sqlite3_vfs_register(&m_shim->vfs, 1);
}

TestVfs::~TestVfs()
{
    sqlite3_vfs_unregister(&m_shim->vfs);
    sqlite3_vfs_register(m_shim->real, 1);
}

void TestVfs::set_full(Full full)
{
    m_shim->full = full;
}

bool TestVfs::wait_for_busy_wait(std::chrono::milliseconds timeout)
{
    std::unique_lock hold(m_shim->sleep_lock);
    return m_shim->slept_once.wait_for(hold, timeout, [&] { return m_shim->slept; });
}

}
