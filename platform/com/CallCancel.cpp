// Cancelling the call under way on another thread. The table maps the id of
// each thread that allows cancellation to its flag; the thread keeps its own
// flag as well, so a test from inside a long wait takes no lock. A thread that
// ends leaves the table.

#include "platform/com/Com.h"
#include "platform/sync/MessageQueue.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

using CancelFlag = std::shared_ptr<std::atomic<bool>>;

struct CancelTable {
    std::mutex lock;
    std::map<DWORD, CancelFlag> flags;   // guarded by lock
};

CancelTable& cancel_table()
{
    static CancelTable table;
    return table;
}

// This thread's entry of the table; its flag is null while cancellation is not allowed.
struct ThreadEntry {
    CancelFlag flag;
    DWORD id = 0;

    void leave()
    {
        if (!flag)
            return;
        CancelTable& table = cancel_table();
        std::scoped_lock hold(table.lock);
        table.flags.erase(id);
        flag.reset();
    }
    ~ThreadEntry() { leave(); }
};

thread_local ThreadEntry t_entry;

}

HRESULT CoEnableCallCancellation(LPVOID) noexcept
{
    if (t_entry.flag)
        return S_OK;
    t_entry.flag = std::make_shared<std::atomic<bool>>(false);
    t_entry.id = GetCurrentThreadId();
    CancelTable& table = cancel_table();
    std::scoped_lock hold(table.lock);
    table.flags[t_entry.id] = t_entry.flag;
    return S_OK;
}

HRESULT CoDisableCallCancellation(LPVOID) noexcept
{
    if (!t_entry.flag)
        return CO_E_CANCEL_DISABLED;
    t_entry.leave();
    return S_OK;
}

HRESULT CoCancelCall(DWORD thread_id, ULONG) noexcept
{
    CancelTable& table = cancel_table();
    std::scoped_lock hold(table.lock);
    const auto found = table.flags.find(thread_id);
    if (found == table.flags.end())
        return CO_E_CANCEL_DISABLED;
    found->second->store(true);
    return S_OK;
}

HRESULT CoTestCancel() noexcept
{
    return t_entry.flag && t_entry.flag->load() ? RPC_E_CALL_CANCELED : RPC_S_CALLPENDING;
}
