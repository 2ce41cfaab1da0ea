#include "splitter/base/PacketQueue.h"

void PacketQueue::Add(std::unique_ptr<Packet> packet)
{
    std::scoped_lock hold(m_lock);
    if (packet) {
        m_size += packet->GetDataSize();
        Packet* tail = m_packets.empty() ? nullptr : m_packets.back().get();
        if (packet->bAppendable && !packet->bDiscontinuity && !packet->pmt && packet->rtStart == INVALID_TIME &&
            tail && tail->rtStart != INVALID_TIME) {
            tail->Append(packet->data);
            return;
        }
    }
    m_packets.push_back(std::move(packet));
}

std::unique_ptr<Packet> PacketQueue::Remove(std::uint64_t* generation)
{
    std::scoped_lock hold(m_lock);
    if (generation) *generation = m_generation;
    if (m_packets.empty()) return nullptr;
    std::unique_ptr<Packet> head = std::move(m_packets.front());
    m_packets.pop_front();
    if (head) m_size -= head->GetDataSize();
    return head;
}

void PacketQueue::RemoveAll()
{
    std::deque<std::unique_ptr<Packet>> dropped;
    {
        std::scoped_lock hold(m_lock);
        dropped.swap(m_packets);
        m_size = 0;
        ++m_generation;
    }
}

std::size_t PacketQueue::GetCount() const
{
    std::scoped_lock hold(m_lock);
    return m_packets.size();
}

std::int64_t PacketQueue::GetSize() const
{
    std::scoped_lock hold(m_lock);
    return m_size;
}

std::uint64_t PacketQueue::Generation() const
{
    std::scoped_lock hold(m_lock);
    return m_generation;
}
