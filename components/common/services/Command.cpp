#include "Command.h"

#include "platform/base/DebugLog.h"

#include <chrono>
#include <optional>

void tCommandMessage::ReleaseParam()
{
    delete param;
    param = nullptr;
}

tCommand::~tCommand()
{
    std::deque<tCommandMessage> left;
    {
        std::scoped_lock hold(m_lock);
        left.swap(m_queue);
    }
    for (tCommandMessage& message : left) {
        plat::debug_log("Leak Message: " + std::to_string(message.Id()) + "\n");
        if (!message.borrowed) delete[] message.data;
        message.ReleaseParam();
    }
}

int tCommand::Post(tCommandMessage message, bool wait)
{
    std::optional<tCommand> reply_queue;
    if (wait) message.reply = &reply_queue.emplace();
    {
        std::scoped_lock hold(m_lock);
        m_queue.push_back(message);
    }
    m_wake.notify_one();
    if (reply_queue) {
        tCommandMessage answer;
        reply_queue->Receive(answer, true, 0);
    }
    return 0;
}

int tCommand::Receive(tCommandMessage& out, bool wait, DWORD timeout)
{
    out = tCommandMessage{};
    std::unique_lock hold(m_lock);
    if (m_queue.empty()) {
        if (!wait) return -1;
        const auto ready = [this] { return !m_queue.empty(); };
        if (timeout == 0) {
            m_wake.wait(hold, ready);
        } else if (!m_wake.wait_for(hold, std::chrono::milliseconds(timeout), ready)) {
            out.SetId(COMMAND_TIMEOUT_MESSAGE);
            return 1;
        }
    }
    out = m_queue.front();
    m_queue.pop_front();
    return out.Id() == COMMAND_END_MESSAGE ? 0 : 1;
}
