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
    // Only when GetCount() > 0; null for the end-of-stream marker. The
    // generation is that of the queue when the packet left it.
    std::unique_ptr<Packet> Remove(std::uint64_t* generation = nullptr);
    // Empties the queue and starts a new generation.
    void RemoveAll();
    std::uint64_t Generation() const;
    std::size_t GetCount() const;
    std::int64_t GetSize() const;

private:
    mutable std::mutex m_lock;
    std::deque<std::unique_ptr<Packet>> m_packets;   // guarded by m_lock
    std::int64_t m_size{0};                          // guarded by m_lock
    std::uint64_t m_generation{0};                   // guarded by m_lock
};
