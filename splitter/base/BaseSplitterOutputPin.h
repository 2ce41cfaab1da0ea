#pragma once
// CBaseSplitterOutputPin: one elementary stream of the splitter. The
// demultiplexing thread fills the pin's packet queue; the pin's own delivery
// thread turns packets into samples and pushes them downstream, so a blocked
// downstream filter only blocks its own stream.

#include "platform/dshow/AMEvent.h"
#include "platform/dshow/AMThread.h"
#include "platform/dshow/BaseOutputPin.h"
#include "splitter/base/PacketQueue.h"

#include <atomic>
#include <vector>

class CBaseSplitterFilter;

class CBaseSplitterOutputPin : public CBaseOutputPin, public CAMThread {
public:
    CBaseSplitterOutputPin(std::vector<CMediaType> types, const WCHAR* name, CBaseSplitterFilter* filter,
                           CCritSec* lock, HRESULT* result, int buffers = 0);
    ~CBaseSplitterOutputPin() override;

    HRESULT CheckMediaType(const CMediaType* type) override;
    HRESULT GetMediaType(int position, CMediaType* type) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
    HRESULT CompleteConnect(IPin* receive_pin) override;
    HRESULT Active() override;
    HRESULT Inactive() override;

    virtual HRESULT DeliverBeginFlush();
    virtual HRESULT DeliverEndFlush();
    virtual HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
    virtual bool IsSparse();

    std::size_t QueueCount() const { return m_queue.GetCount(); }
    std::int64_t QueueSize() const { return m_queue.GetSize(); }
    HRESULT QueueEndOfStream() { return QueuePacket(nullptr); }
    // Called on the demultiplexing thread; waits while the queues are full.
    HRESULT QueuePacket(std::unique_ptr<Packet> packet);

protected:
    // Subclasses regroup packets before handing them on. Both run on the
    // delivery thread; a subclass that holds packets back delivers them from
    // its DeliverEndOfStream before calling this class's.
    virtual HRESULT DeliverPacket(std::unique_ptr<Packet> packet);
    virtual HRESULT DeliverEndOfStream();
    // True when a flush has begun since the delivery thread took its current
    // packet: a packet held back from before it must not be delivered after it.
    bool TakenBeforeFlush() const { return m_taken_generation != m_queue.Generation(); }
    DWORD ThreadProc() override;

    CBaseSplitterFilter* const m_pSplitter;

private:
    HRESULT enlarge_buffers(std::size_t payload, plat::ComPtr<IMediaSample>& sample);
    // The downstream calls of the delivery thread, refused for a packet taken before a flush.
    HRESULT Deliver(IMediaSample* sample);
    void stop_delivery_thread();

    std::mutex m_types_lock;            // not the filter lock: the delivery thread takes it
    std::vector<CMediaType> m_types;      // guarded by m_types_lock
    const int m_buffers;
    PacketQueue m_queue;
    // A failure is kept only for a packet of the queue's present generation: a flush
    // starts a new one, so a delivery refused because of it counts as dropped.
    bool keep_failure(HRESULT result, std::uint64_t generation);

    std::mutex m_result_lock;           // pairs each change of m_deliver_result with the queue's generation
    std::atomic<HRESULT> m_deliver_result{S_OK};   // written under m_result_lock; read without it
    std::atomic<bool> m_flushing{false};
    CAMEvent m_end_flush{plat::EventReset::Manual};
    CAMEvent m_queued;                 // wakes the delivery thread
    std::atomic<REFERENCE_TIME> m_segment_start{0};
    std::mutex m_deliver_lock;                   // held across a downstream delivery; taken by the end of a flush
    std::uint64_t m_taken_generation{0};         // the queue's generation of the packet in delivery; delivery thread only
};
