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

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

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
inline constexpr UINT WM_USER = 0x0400;
inline constexpr UINT PM_NOREMOVE = 0x0000;
inline constexpr UINT PM_REMOVE = 0x0001;

namespace plat {

using DropPayload = void (*)(const MSG&);

enum class Removal { Keep, Remove };

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

private:
    struct Entry {
        MSG message;
        DropPayload drop;
    };
    std::optional<MSG> take(const MessageFilter& filter, Removal removal);   // with m_lock held

    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<Entry> m_entries;        // guarded by m_lock
    std::optional<int> m_quit_code;     // guarded by m_lock; set by post_quit until received
    bool m_closed = false;              // guarded by m_lock
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
