#include "components/common/controlengine/CBaseControl.h"

#include "platform/base/DebugLog.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <string>

namespace {

// Whether a queued command's private copy (its first 32-bit word, or *length
// bytes when copied by length) can stand for what the command carries.
bool queued_copy_carries(LONG code, DWORD flags)
{
    switch (code) {
    case CMD_GET_VERSION:
    case CMD_GET_VOLUME:
    case CMD_GET_PLAY_STATE:
    case CMD_GET_MEDIA_KIND:
    case CMD_SAMPLE_READER:
        return false;   // an out value written into a private copy reaches nobody
    case CMD_PLAY_NOW:
    case CMD_APPEND:
        return false;   // the task holds texts a byte copy cannot carry
    case CMD_SET_DOWNLOADER:
    case CMD_SET_ITEM_STORE:
        return false;   // an object's pointer does not fit the 32-bit copy
    case CMD_SOURCE:
    case CMD_OUTPUT:
    case CMD_OUTPUT_SETTINGS:
        return (flags & CONTROL_COPY_LENGTH) != 0;   // a wide string or a record, copied whole
    default:
        return true;   // nothing, or one 32-bit value
    }
}

}

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
                // Two zero bytes past the copy: the queued record has no length,
                // so a wide text copied without its terminator still ends here.
                const auto size = static_cast<std::size_t>(*length);
                command.data = std::make_unique<std::byte[]>(size + sizeof(char16_t));
                std::memcpy(command.data.get(), data, size);
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
    auto* listener = static_cast<IBaseEventHandler*>(data);
    switch (code) {
    case CMD_ADD_LISTENER: {
        std::scoped_lock hold(m_command_lock);
        AddListener(listener);
        return 1;
    }
    case CMD_REMOVE_LISTENER: {
        {
            std::scoped_lock hold(m_command_lock);
            erase_listener(listener);
        }
        // Not under the command lock: the call waited for may itself send a
        // listener command, which would wait for that lock for ever.
        wait_for_deliveries(listener);
        return 1;
    }
    default:
        return 0;
    }
}

LONG CBaseControl::dispatch_command(const char* who, LONG code, void* data, LONG* length, DWORD flags)
{
    if ((flags & CONTROL_ASYNC) && !queued_copy_carries(code, flags)) {
        plat::debug_log(std::string(who) + ": command " + std::to_string(code) +
                        " carries data a queue cannot copy; not queued");
        return 0;
    }
    const LONG handled = CBaseControl::SendCommand(code, data, length, flags);
    return handled != 0 ? handled : Execute(code, data, length, flags);
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

void CBaseControl::erase_listener(IBaseEventHandler* listener)
{
    std::scoped_lock hold(m_listener_lock);
    auto it = std::find(m_listeners.begin(), m_listeners.end(), listener);
    if (it != m_listeners.end())
        m_listeners.erase(it);
}

void CBaseControl::wait_for_deliveries(IBaseEventHandler* listener)
{
    // A listener that removes itself from inside its own call cannot wait for that call.
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock hold(m_listener_lock);
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
