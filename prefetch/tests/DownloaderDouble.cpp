#include "DownloaderDouble.h"

#include "platform/base/Utf.h"

#include <chrono>

namespace prefetch_test {

DownloaderDouble::DownloaderDouble() : m_thread([this] { deliver_loop(); }) {}

DownloaderDouble::~DownloaderDouble()
{
    {
        std::scoped_lock hold(m_lock);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

LONG DownloaderDouble::GetActiveCount()
{
    std::scoped_lock hold(m_lock);
    std::size_t videos = 0;
    for (const Submission& s : m_submissions)
        videos += s.mode == 1;
    return active_base + (busy_after && videos >= busy_after ? 5 : 0);
}

void DownloaderDouble::AddListener(IBaseEventHandler* listener)
{
    std::scoped_lock hold(m_lock);
    m_listeners.push_back(listener);
}

void DownloaderDouble::RemoveListener(IBaseEventHandler* listener)
{
    std::unique_lock hold(m_lock);
    std::erase(m_listeners, listener);
    m_unlistened = true;
    m_changed.notify_all();
    if (std::this_thread::get_id() != m_thread.get_id())
        m_changed.wait(hold, [&] { return !m_delivering; });
}

bool DownloaderDouble::wait_for_unlisten()
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_unlistened; });
}

LONG DownloaderDouble::AddTask(const DownloadTaskInfo* task, LONG kind)
{
    Submission s{kind, task->key, task->address, plat::utf16_to_utf8(task->local_path), task->mode, task->quality};
    if (on_add)
        on_add(s);
    {
        std::scoped_lock hold(m_lock);
        m_submissions.push_back(s);
    }
    m_changed.notify_all();
    return 1;
}

LONG DownloaderDouble::RemoveTask(const DownloadTaskInfo*, const char* key)
{
    {
        std::scoped_lock hold(m_lock);
        m_removed.push_back(key ? key : "");
    }
    if (on_remove)
        on_remove(key ? key : "");
    return 1;
}

void DownloaderDouble::fire(const Submission& submission, LONG state)
{
    std::unique_lock hold(m_lock);
    const std::size_t ticket = ++m_fired;
    m_events.push_back([this, submission, state] {
        DownloadTaskInfo record;
        record.key = submission.key;
        record.address = submission.address;
        record.mode = submission.mode;
        record.local_path = plat::utf8_to_utf16(submission.local_path);
        std::vector<IBaseEventHandler*> listeners;
        {
            std::scoped_lock hold(m_lock);
            listeners = m_listeners;
        }
        for (IBaseEventHandler* listener : listeners)
            listener->OnEvent(&record, EVT_DOWNLOAD_STATE, state, 0);
    });
    m_changed.notify_all();
    m_changed.wait(hold, [&] { return m_delivered >= ticket; });
}

bool DownloaderDouble::wait_for_submissions(std::size_t n)
{
    std::unique_lock hold(m_lock);
    return m_changed.wait_for(hold, std::chrono::seconds(30), [&] { return m_submissions.size() >= n; });
}

std::vector<Submission> DownloaderDouble::submissions() const
{
    std::scoped_lock hold(m_lock);
    return m_submissions;
}

std::vector<std::string> DownloaderDouble::removed_keys() const
{
    std::scoped_lock hold(m_lock);
    return m_removed;
}

void DownloaderDouble::deliver_loop()
{
    std::unique_lock hold(m_lock);
    for (;;) {
        m_changed.wait(hold, [&] { return m_stop || !m_events.empty(); });
        if (m_stop)
            return;
        auto event = std::move(m_events.front());
        m_events.pop_front();
        m_delivering = true;
        hold.unlock();
        event();
        hold.lock();
        m_delivering = false;
        ++m_delivered;
        m_changed.notify_all();
    }
}

}
