#pragma once
// Thread message queues: what PostThreadMessageW, GetMessageW, PeekMessageW and
// PostQuitMessage gave the system. Each thread started by plat::Thread has its
// queue from the moment it is created; any other thread gets one on its first
// receive. A queue closes when its thread ends.
//
// A message that carries a heap pointer in a parameter may be posted with a
// DropPayload: it runs exactly once when the message will never be received
// (the post failed, or the queue closed with the message still in it). A
// message that is received belongs, with its payload, to the receiver.

#include "platform/base/Types.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct HWND__;
using HWND = HWND__*;

struct MSG {
    HWND hwnd;       // null for a thread message
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;      // GetTickCount when posted
};

inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

// A timer's routine: called by DispatchMessageW for its WM_TIMER (hwnd, WM_TIMER, id, tick).
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

namespace plat {

using DropPayload = void (*)(const MSG&);

enum class Removal { Keep, Remove };

// What the window layer adds to the queue of the thread that pumps input events:
// a receive that finds nothing calls pump on that thread, with no lock held, to
// turn the events that are ready (waiting up to timeout_ms, -1 without limit,
// 0 not at all) into messages; a post from another thread calls wake, which
// ends such a wait.
struct EventPump {
    std::function<void(int timeout_ms)> pump;
    std::function<void()> wake;
};

// Which messages a receive takes: those for hwnd (null: all) whose number lies in
// [first, last] (both 0: all). WM_QUIT is taken whatever the range.
struct MessageFilter {
    HWND hwnd = nullptr;
    UINT first = 0;
    UINT last = 0;
};

class MessageQueue {
public:
    MessageQueue() = default;
    MessageQueue(const MessageQueue&) = delete;
    MessageQueue& operator=(const MessageQueue&) = delete;
    ~MessageQueue();   // closes

    // Appends the message (time is stamped here). False when the queue is closed,
    // after drop (when given) has run.
    bool post(MSG message, DropPayload drop = nullptr);
    // Asks the thread to quit: once no posted message matching its receive is left,
    // it receives WM_QUIT with wParam exit_code.
    void post_quit(int exit_code);

    // The first matching message, waiting for one.
    MSG get(const MessageFilter& filter);
    // The first matching message if there is one now.
    std::optional<MSG> peek(const MessageFilter& filter, Removal removal);

    // Drops every queued message (running their DropPayloads) and refuses later posts.
    void close();

    // Windows timers: when no posted message matches a receive, a due timer that does
    // is received as WM_TIMER (hwnd, id, lParam = proc) and is next due a period later;
    // a timer never queues more than one. A window timer is named by (hwnd, id) and
    // replaced by a new one of that name. A windowless timer (hwnd null) keeps an id
    // that names one of this queue's windowless timers and otherwise gets a new one.
    // Returns the timer's id; 0 when the queue is closed.
    UINT_PTR set_timer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc);
    bool kill_timer(HWND hwnd, UINT_PTR id);
    void kill_window_timers(HWND hwnd);

    // Set once by the thread that pumps input events; see EventPump.
    void set_event_pump(std::shared_ptr<const EventPump> pump);

private:
    using Clock = std::chrono::steady_clock;
    struct Entry {
        MSG message;
        DropPayload drop;
    };
    struct Timer {
        HWND hwnd;
        UINT_PTR id;
        Clock::duration period;
        Clock::time_point due;
        TIMERPROC proc;
    };
    // These three with m_lock held.
    std::optional<MSG> take(const MessageFilter& filter, Removal removal);
    std::optional<MSG> take_due_timer(const MessageFilter& filter, Removal removal);
    std::optional<Clock::time_point> next_due(const MessageFilter& filter) const;
    void wake_waiters(std::unique_lock<std::mutex>& hold);   // releases the lock

    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<Entry> m_entries;        // guarded by m_lock
    std::optional<int> m_quit_code;     // guarded by m_lock; set by post_quit until received
    bool m_closed = false;              // guarded by m_lock
    std::vector<Timer> m_timers;        // guarded by m_lock
    UINT_PTR m_next_thread_timer = 1;   // guarded by m_lock
    std::shared_ptr<const EventPump> m_pump;   // guarded by m_lock
};

// The queue of a live thread, or null when that thread has none.
std::shared_ptr<MessageQueue> thread_queue(DWORD thread_id);

// Posts a thread message (hwnd null). False when the thread has no open queue, after
// drop (when given) has run.
bool post_thread_message(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam, DropPayload drop = nullptr);

// The calling thread's queue, made on first use.
MessageQueue& current_thread_queue();

}

// Non-zero id of the calling thread: counted from 1 in the process and never reused, so a
// post to the id of a thread that ended never reaches a newer thread.
DWORD GetCurrentThreadId();
// FALSE when the thread has no open queue (it never had one, or it ended).
BOOL PostThreadMessageW(DWORD thread_id, UINT message, WPARAM wParam, LPARAM lParam);
// 0 for WM_QUIT, else non-zero; -1 for a null msg. Waits for a message.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT first, UINT last);
// TRUE with the message when one matches now; FALSE (msg untouched) otherwise or for a null msg.
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT first, UINT last, UINT remove);
void PostQuitMessage(int exit_code);
