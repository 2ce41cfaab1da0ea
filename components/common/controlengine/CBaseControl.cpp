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

LONG CBaseControl::Notify(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    // Call out on a copy: a listener may add or remove listeners, and the list
    // lock is never held across a call into foreign code.
    std::vector<IBaseEventHandler*> listeners;
    {
        std::scoped_lock hold(m_listener_lock);
        listeners = m_listeners;
    }
    for (auto* listener : listeners)
        listener->OnEvent(sender, code, value, extra);
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
    std::scoped_lock hold(m_listener_lock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end())
        m_listeners.erase(it);
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
