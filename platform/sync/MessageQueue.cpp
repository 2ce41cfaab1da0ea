#include "MessageQueue.h"

#include "platform/base/Time.h"

#include <algorithm>

namespace plat {

namespace {

bool in_range(UINT message, const MessageFilter& filter)
{
    if (filter.first == 0 && filter.last == 0) return true;
    return message >= filter.first && message <= filter.last;
}

bool matches(const MSG& m, const MessageFilter& filter)
{
    if (m.message == WM_QUIT) return true;
    if (filter.hwnd && m.hwnd != filter.hwnd) return false;
    return in_range(m.message, filter);
}

bool timer_matches(HWND hwnd, const MessageFilter& filter)
{
    return (!filter.hwnd || hwnd == filter.hwnd) && in_range(WM_TIMER, filter);
}

int milliseconds_until(std::optional<std::chrono::steady_clock::time_point> due)
{
    if (!due) return -1;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - std::chrono::steady_clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

}

MessageQueue::~MessageQueue() { close(); }

void MessageQueue::wake_waiters(std::unique_lock<std::mutex>& hold)
{
    m_arrived.notify_all();
    auto pump = m_pump;
    hold.unlock();
    if (pump) pump->wake();
}

bool MessageQueue::post(MSG message, DropPayload drop)
{
    message.time = GetTickCount();
    {
        std::unique_lock hold(m_lock);
        if (!m_closed) {
            m_entries.push_back({message, drop});
            wake_waiters(hold);
            return true;
        }
    }
    if (drop) drop(message);
    return false;
}

void MessageQueue::post_quit(int exit_code)
{
    std::unique_lock hold(m_lock);
    if (m_closed) return;
    m_quit_code = exit_code;
    wake_waiters(hold);
}

UINT_PTR MessageQueue::set_timer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc)
{
    std::unique_lock hold(m_lock);
    if (m_closed) return 0;
    auto same = std::find_if(m_timers.begin(), m_timers.end(),
                             [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; });
    if (same != m_timers.end()) {
        m_timers.erase(same);
    } else if (!hwnd) {
        id = m_next_thread_timer++;
    }
    // As on Windows, a period under 10 ms is 10 ms.
    const auto period = std::chrono::milliseconds(std::max<UINT>(elapse_ms, 10));
    m_timers.push_back({hwnd, id, period, Clock::now() + period, proc});
    wake_waiters(hold);
    return id;
}

bool MessageQueue::kill_timer(HWND hwnd, UINT_PTR id)
{
    std::scoped_lock hold(m_lock);
    return std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd && t.id == id; }) > 0;
}

void MessageQueue::kill_window_timers(HWND hwnd)
{
    std::scoped_lock hold(m_lock);
    std::erase_if(m_timers, [&](const Timer& t) { return t.hwnd == hwnd; });
}

void MessageQueue::set_event_pump(std::shared_ptr<const EventPump> pump)
{
    std::scoped_lock hold(m_lock);
    m_pump = std::move(pump);
}

std::optional<MessageQueue::Clock::time_point> MessageQueue::next_due(const MessageFilter& filter) const
{
    std::optional<Clock::time_point> first;
    for (const Timer& t : m_timers)
        if (timer_matches(t.hwnd, filter) && (!first || t.due < *first)) first = t.due;
    return first;
}

std::optional<MSG> MessageQueue::take_due_timer(const MessageFilter& filter, Removal removal)
{
    const auto now = Clock::now();
    Timer* first = nullptr;
    for (Timer& t : m_timers)
        if (timer_matches(t.hwnd, filter) && t.due <= now && (!first || t.due < first->due)) first = &t;
    if (!first) return std::nullopt;
    if (removal == Removal::Remove) first->due = now + first->period;
    return MSG{first->hwnd, WM_TIMER, first->id, reinterpret_cast<LPARAM>(first->proc), GetTickCount()};
}

std::optional<MSG> MessageQueue::take(const MessageFilter& filter, Removal removal)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return matches(e.message, filter); });
    if (it != m_entries.end()) {
        MSG found = it->message;
        if (removal == Removal::Remove) m_entries.erase(it);
        return found;
    }
    if (!m_quit_code) return take_due_timer(filter, removal);
    MSG quit{nullptr, WM_QUIT, static_cast<WPARAM>(static_cast<INT_PTR>(*m_quit_code)), 0, GetTickCount()};
    if (removal == Removal::Remove) m_quit_code.reset();
    return quit;
}

MSG MessageQueue::get(const MessageFilter& filter)
{
    std::unique_lock hold(m_lock);
    for (;;) {
        if (auto found = take(filter, Removal::Remove)) return *found;
        const auto due = next_due(filter);
        if (auto pump = m_pump) {
            hold.unlock();
            pump->pump(milliseconds_until(due));
            hold.lock();
        } else if (due) {
            m_arrived.wait_until(hold, *due);
        } else {
            m_arrived.wait(hold);
        }
    }
}

std::optional<MSG> MessageQueue::peek(const MessageFilter& filter, Removal removal)
{
    std::shared_ptr<const EventPump> pump;
    {
        std::scoped_lock hold(m_lock);
        pump = m_pump;
    }
    if (pump) pump->pump(0);
    std::scoped_lock hold(m_lock);
    return take(filter, removal);
}

void MessageQueue::close()
{
    std::deque<Entry> dropped;
    std::shared_ptr<const EventPump> pump;   // let go of outside the lock
    {
        std::scoped_lock hold(m_lock);
        m_closed = true;
        m_quit_code.reset();
        m_timers.clear();
        pump.swap(m_pump);
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
