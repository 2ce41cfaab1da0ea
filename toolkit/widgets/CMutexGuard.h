#pragma once
// A scoped hold of a toolkit mutex, and the toolkit's two process-wide locks.
//
// Lock order: UIRenderMutex before WidgetMutex; an animation manager's or a
// timeline's own lock is taken last. Both global locks are recursive (they
// replace Win32 mutexes), so a draw that lays out again may take them twice.

namespace plat {
class Mutex;
}

class CMutexGuard {
public:
    explicit CMutexGuard(plat::Mutex& mutex);
    ~CMutexGuard();
    CMutexGuard(const CMutexGuard&) = delete;
    CMutexGuard& operator=(const CMutexGuard&) = delete;

private:
    plat::Mutex& m_mutex;
};

// Held by the compose thread for a frame and by every change of widgets from
// another thread; guards the focused, captured and hover widget pointers.
plat::Mutex& UIRenderMutex();
// Guards every widget's child lists and the window surfaces while they are drawn.
plat::Mutex& WidgetMutex();
