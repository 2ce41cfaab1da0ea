#include "ThreadRegistry.h"

#include "MessageQueue.h"

#include <atomic>
#include <mutex>
#include <unordered_map>

namespace plat {

namespace {

struct QueueTable {
    std::atomic<DWORD> last_id{0};
    std::mutex lock;
    std::unordered_map<DWORD, std::shared_ptr<MessageQueue>> queues;   // guarded by lock
};

QueueTable& queue_table()
{
    static QueueTable table;
    return table;
}

// The queue leaves the table first, so new posts fail at once, then closes, dropping
// what was still queued.
void end_queue(DWORD thread_id, MessageQueue& queue)
{
    {
        auto& table = queue_table();
        std::scoped_lock hold(table.lock);
        table.queues.erase(thread_id);
    }
    queue.close();
}

// Who the calling thread is; its queue ends with it.
struct ThreadIdentity {
    DWORD id = 0;
    std::shared_ptr<MessageQueue> queue;

    ~ThreadIdentity()
    {
        if (queue) end_queue(id, *queue);
    }
};

thread_local ThreadIdentity identity;

}

DWORD allocate_thread_id()
{
    auto& counter = queue_table().last_id;
    DWORD id = ++counter;
    while (id == 0) id = ++counter;   // 0 is no thread
    return id;
}

std::shared_ptr<MessageQueue> register_thread_queue(DWORD thread_id)
{
    auto queue = std::make_shared<MessageQueue>();
    auto& table = queue_table();
    std::scoped_lock hold(table.lock);
    table.queues[thread_id] = queue;
    return queue;
}

void forget_thread_queue(DWORD thread_id)
{
    if (auto queue = thread_queue(thread_id)) end_queue(thread_id, *queue);
}

void adopt_thread_identity(DWORD thread_id, std::shared_ptr<MessageQueue> queue)
{
    identity.id = thread_id;
    identity.queue = std::move(queue);
}

std::shared_ptr<MessageQueue> thread_queue(DWORD thread_id)
{
    auto& table = queue_table();
    std::scoped_lock hold(table.lock);
    auto it = table.queues.find(thread_id);
    return it == table.queues.end() ? nullptr : it->second;
}

MessageQueue& current_thread_queue()
{
    if (!identity.queue) identity.queue = register_thread_queue(GetCurrentThreadId());
    return *identity.queue;
}

}

DWORD GetCurrentThreadId()
{
    auto& self = plat::identity;
    if (self.id == 0) self.id = plat::allocate_thread_id();
    return self.id;
}
