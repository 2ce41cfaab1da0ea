#pragma once
// How plat::Thread gives a thread its id and queue before it runs. Internal to
// platform/sync; the table itself is behind GetCurrentThreadId, thread_queue and
// current_thread_queue (MessageQueue.h).

#include "platform/base/Types.h"

#include <memory>

namespace plat {

class MessageQueue;

// A new id, never given before in this process.
DWORD allocate_thread_id();

// Makes and registers the queue of a thread that does not run yet, so posts to its id are kept.
std::shared_ptr<MessageQueue> register_thread_queue(DWORD thread_id);

// Undoes register_thread_queue for a thread that could not be started.
void forget_thread_queue(DWORD thread_id);

// Run first on a new thread: it takes the id and the queue made for it. At the thread's
// end the queue leaves the table and closes.
void adopt_thread_identity(DWORD thread_id, std::shared_ptr<MessageQueue> queue);

}
