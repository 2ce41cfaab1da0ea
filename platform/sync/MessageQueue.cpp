#include "MessageQueue.h"

#include "platform/base/Time.h"

#include <algorithm>

namespace plat {

namespace {

bool matches(const MSG& m, const MessageFilter& filter)
{
    if (m.message == WM_QUIT) return true;
    if (filter.hwnd && m.hwnd != filter.hwnd) return false;
    if (filter.first == 0 && filter.last == 0) return true;
    return m.message >= filter.first && m.message <= filter.last;
}

}

MessageQueue::~MessageQueue() { close(); }

bool MessageQueue::post(MSG message, DropPayload drop)
{
    message.time = GetTickCount();
    {
        std::scoped_lock hold(m_lock);
        if (!m_closed) {
            m_entries.push_back({message, drop});
            m_arrived.notify_all();
            return true;
        }
    }
    if (drop) drop(message);
    return false;
}

void MessageQueue::post_quit(int exit_code)
{
    std::scoped_lock hold(m_lock);
    if (m_closed) return;
    m_quit_code = exit_code;
    m_arrived.notify_all();
}

std::optional<MSG> MessageQueue::take(const MessageFilter& filter, Removal removal)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return matches(e.message, filter); });
    if (it != m_entries.end()) {
        MSG found = it->message;
        if (removal == Removal::Remove) m_entries.erase(it);
        return found;
    }
    if (!m_quit_code) return std::nullopt;
    MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<INT_PTR>(*m_quit_code)), 0, GetTickCount()};
    if (removal == Removal::Remove) m_quit_code.reset();
    return quit;
}

MSG MessageQueue::get(const MessageFilter& filter)
{
    std::unique_lock hold(m_lock);
    std::optional<MSG> found;
    m_arrived.wait(hold, [&] { return (found = take(filter, Removal::Remove)).has_value(); });
    return *found;
}

std::optional<MSG> MessageQueue::peek(const MessageFilter& filter, Removal removal)
{
    std::scoped_lock hold(m_lock);
    return take(filter, removal);
}

void MessageQueue::close()
{
    std::deque<Entry> dropped;
    {
        std::scoped_lock hold(m_lock);
        m_closed = true;
        m_quit_code.reset();
        dropped.swap(m_entries);
    }
    for (const Entry& e : dropped)
        if (e.drop) e.drop(e.message);
}

bool post_thread_message(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam, DropPayload drop)
{
    const MSG m{nullptr, message, wParam, lParam, 0};
    if (auto queue = thread_queue(thread_id)) return queue->post(m, drop);
    if (drop) drop(m);
    return false;
}

}

BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam)
{
    return plat::post_thread_message(thread_id, message, wParam, lParam) ? TRUE : FALSE;
}

BOOL GetMessageW(MSG* msg, HWND hwnd, UINT first, UINT last)
{
    if (!msg) return -1;
    *msg = plat::current_thread_queue().get({hwnd, first, last});
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove)
{
    if (!msg) return FALSE;
    auto found = plat::current_thread_queue().peek({hwnd, first, last},
                                                   (remove & PM_REMOVE) ? plat::Removal::Remove : plat::Removal::Keep);
    if (!found) return FALSE;
    *msg = *found;
    return TRUE;
}

void PostQuitMessage(int exit_code) { plat::current_thread_queue().post_quit(exit_code); }
