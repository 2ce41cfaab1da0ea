#include "CMutexGuard.h"

#include "platform/sync/Mutex.h"

CMutexGuard::CMutexGuard(plat::Mutex& mutex) : m_mutex(mutex) { m_mutex.wait(); }

CMutexGuard::~CMutexGuard() { m_mutex.release(); }

plat::Mutex& UIRenderMutex()
{
    static plat::Mutex m;
    return m;
}

plat::Mutex& WidgetMutex()
{
    static plat::Mutex m;
    return m;
}
