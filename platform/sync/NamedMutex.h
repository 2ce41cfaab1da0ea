#pragma once
// A mutex shared by every process of the user under one name, with the rules
// of a Windows named mutex: the owning thread may take it again (each take
// needs its release), only the owner releases it, and when the owning process
// dies the kernel frees it and the next taker is told so.
//
// Each process keeps one in-process lock per name; its first take also takes
// an exclusive flock on a lock file in the runtime folder, which the kernel
// drops when the process ends.

#include "Wait.h"

#include <memory>
#include <string_view>

namespace plat {

class NamedMutex {
public:
    // Opens the mutex of that name (used as given, e.g. "{20A522FB-105F-478f-88CA-1C173DFD2D56}"),
    // creating it when no process has it open; not owned. Null, with the reason in the
    // debug log, for an empty or over-long name or when the runtime folder cannot be had.
    static std::unique_ptr<NamedMutex> open(std::string_view name);
    ~NamedMutex();
    NamedMutex(const NamedMutex&) = delete;
    NamedMutex& operator=(const NamedMutex&) = delete;

    // True when another handle to this mutex, in this or another process, was open
    // when this one was opened (what ERROR_ALREADY_EXISTS told on Windows).
    bool already_existed() const { return m_already_existed; }

    // WAIT_OBJECT_0 once the calling thread owns it; WAIT_ABANDONED_0 when it owns it
    // but a process died holding it (whatever that process guarded may be half done);
    // WAIT_TIMEOUT when timeout_ms passed first; WAIT_FAILED when the lock file failed.
    DWORD wait(DWORD timeout_ms = INFINITE);
    // Undoes one successful wait. False, changing nothing, when the caller does not own it.
    bool release();

    struct Shared;   // the state of one name in this process, shared by its handles

private:
    NamedMutex(std::shared_ptr<Shared> shared, bool already_existed);

    std::shared_ptr<Shared> m_shared;
    bool m_already_existed;
};

}
