#include "components/common/controlengine/CBaseControl.h"

#include <algorithm>
#include <cassert>
#include <cstring>

CBaseControl::CBaseControl()
    // The thread enters Run non-virtually: the derived part is still being built.
    : m_thread([this] { CBaseControl::Run(); })
{
}

CBaseControl::~CBaseControl()
{
    stop_command_thread();
}

void CBaseControl::stop_command_thread()
{
    if (!m_thread.joinable())
        return;
    assert(m_thread.get_id() != std::this_thread::get_id());
    SendCommand(CMD_END_THREAD, nullptr, nullptr, CONTROL_ASYNC);
    m_thread.join();
}

void CBaseControl::write_version(void* data)
{
    if (!data)
        return;
    auto [first, second] = GetVersion();
    std::memcpy(data, &first, sizeof first);
    std::memcpy(static_cast<std::byte*>(data) + sizeof first, &second, sizeof second);
}

LONG CBaseControl::Notify(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    // Call out on a copy: a listener may add or remove listeners, and the list
    // lock is never held across a call into foreign code. A listener removed
    // meanwhile is skipped; one being called is registered, so its removal
    // waits for the call to end.
    std::vector<IBaseEventHandler*> listeners;
    {
        std::scoped_lock hold(m_listener_lock);
        listeners = m_listeners;
    }
    const std::thread::id self = std::this_thread::get_id();
    for (auto* listener : listeners) {
        {
            std::scoped_lock hold(m_listener_lock);
            if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
                continue;
            m_deliveries.push_back({listener, self});
        }
        listener->OnEvent(sender, code, value, extra);
        {
            std::scoped_lock hold(m_listener_lock);
            auto it = std::find_if(m_deliveries.begin(), m_deliveries.end(), [&](const Delivery& d) {
                return d.listener == listener && d.thread == self;
            });
            m_deliveries.erase(it);
        }
        m_delivered.notify_all();
    }
    return 0;
}

LONG CBaseControl::SendCommand(LONG code, void* data, LONG* length, DWORD flags)
{
    if (flags & CONTROL_ASYNC) {
        Command command{code, nullptr, nullptr};
        if (flags & CONTROL_COPY_LENGTH) {
            if (data && length && *length >= 0) {
                command.data = std::make_unique<std::byte[]>(static_cast<std::size_t>(*length));
                std::memcpy(command.data.get(), data, static_cast<std::size_t>(*length));
            }
        } else {
            if (data) {
                command.data = std::make_unique<std::byte[]>(sizeof(LONG));
                std::memcpy(command.data.get(), data, sizeof(LONG));
            }
            if (length)
                command.length = std::make_unique<LONG>(*length);
        }
        {
            std::scoped_lock hold(m_queue_lock);
            m_queue.push_back(std::move(command));
        }
        m_queue_ready.notify_one();
        return 1;
    }
    std::scoped_lock hold(m_command_lock);
    switch (code) {
    case CMD_ADD_LISTENER:
        AddListener(static_cast<IBaseEventHandler*>(data));
        return 1;
    case CMD_REMOVE_LISTENER:
        remove_listener(static_cast<IBaseEventHandler*>(data));
        return 1;
    default:
        return 0;
    }
}

LONG CBaseControl::Execute(LONG, void*, LONG*, DWORD)
{
    return 0;
}

void CBaseControl::AddListener(IBaseEventHandler* listener)
{
    if (!listener)
        return;
    std::scoped_lock hold(m_listener_lock);
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void CBaseControl::remove_listener(IBaseEventHandler* listener)
{
    std::unique_lock hold(m_listener_lock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end())
        m_listeners.erase(it);
    // A listener that removes itself from inside its own call cannot wait for that call.
    const std::thread::id self = std::this_thread::get_id();
    m_delivered.wait(hold, [&] {
        return std::none_of(m_deliveries.begin(), m_deliveries.end(), [&](const Delivery& d) {
            return d.listener == listener && d.thread != self;
        });
    });
}

void CBaseControl::Run()
{
    // The queue is checked under its lock before every wait, so a command queued
    // while the previous batch ran is never missed.
    std::unique_lock hold(m_queue_lock);
    for (;;) {
        m_queue_ready.wait(hold, [this] { return !m_queue.empty(); });
        bool ended = false;
        while (!m_queue.empty()) {
            Command command = std::move(m_queue.front());
            m_queue.pop_front();
            hold.unlock();
            Execute(command.code, command.data.get(), command.length.get(), 0);
            ended = ended || command.code == CMD_END_THREAD;
            hold.lock();
        }
        if (ended)
            return;
    }
}
