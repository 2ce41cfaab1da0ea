#pragma once
// PacketQueue: the packets of one output pin in arrival order, with a running
// byte size. Pieces of one frame are glued to the packet before them while
// it still waits (the merge rule of Add).

#include "splitter/base/Packet.h"

#include <deque>
#include <mutex>

class PacketQueue {
public:
    // A null packet is the end-of-stream marker.
    void Add(std::unique_ptr<Packet> packet);
    // Only when GetCount() > 0; null for the end-of-stream marker.
    std::unique_ptr<Packet> Remove();
    void RemoveAll();
    std::size_t GetCount() const;
    std::int64_t GetSize() const;

private:
    mutable std::mutex m_lock;
    std::deque<std::unique_ptr<Packet>> m_packets;   // guarded by m_lock
    std::int64_t m_size{0};                          // guarded by m_lock
};
