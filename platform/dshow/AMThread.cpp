#include "platform/dshow/AMThread.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"

CAMThread::~CAMThread()
{
    if (m_thread.joinable()) {
        plat::debug_log("CAMThread: worker still running at destruction; joining");
        m_thread.join();
    }
}

bool CAMThread::Create()
{
    std::scoped_lock call(m_call);
    {
        std::scoped_lock hold(m_lock);
        if (m_running) return false;
    }
    if (m_thread.joinable()) m_thread.join();
    {
        std::scoped_lock hold(m_lock);
        m_running = true;
        m_request_pending = false;
        m_reply_ready = false;
        m_priority = ThreadPriority::Normal;
    }
    m_thread = std::thread([this] {
        ThreadProc();
        {
            std::scoped_lock hold(m_lock);
            m_running = false;
        }
        m_changed.notify_all();
    });
    return true;
}

DWORD CAMThread::CallWorker(DWORD request)
{
    std::scoped_lock call(m_call);
    std::unique_lock hold(m_lock);
    if (!m_running) return static_cast<DWORD>(E_FAIL);
    m_request = request;
    m_request_pending = true;
    m_reply_ready = false;
    m_changed.notify_all();
    m_changed.wait(hold, [this] { return m_reply_ready || !m_running; });
    if (!m_reply_ready) {
        m_request_pending = false;
        return static_cast<DWORD>(E_FAIL);
    }
    m_reply_ready = false;
    return m_reply;
}

void CAMThread::Close()
{
    std::scoped_lock call(m_call);
    if (m_thread.joinable()) m_thread.join();
}

bool CAMThread::ThreadExists() const
{
    std::scoped_lock hold(m_lock);
    return m_running;
}

DWORD CAMThread::GetRequest()
{
    std::unique_lock hold(m_lock);
    m_changed.wait(hold, [this] { return m_request_pending; });
    m_request_pending = false;
    return m_request;
}

bool CAMThread::CheckRequest(DWORD* request) const
{
    std::scoped_lock hold(m_lock);
    if (!m_request_pending) return false;
    if (request) *request = m_request;
    return true;
}

void CAMThread::Reply(DWORD result)
{
    {
        std::scoped_lock hold(m_lock);
        m_reply = result;
        m_reply_ready = true;
    }
    m_changed.notify_all();
}

void CAMThread::SetPriority(ThreadPriority priority)
{
    std::scoped_lock hold(m_lock);
    m_priority = priority;
}

ThreadPriority CAMThread::GetPriority() const
{
    std::scoped_lock hold(m_lock);
    return m_priority;
}
