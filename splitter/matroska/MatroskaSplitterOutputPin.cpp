#include "splitter/matroska/MatroskaSplitterOutputPin.h"

#include "platform/dshow/MediaFormats.h"
#include "splitter/matroska/MatroskaPacket.h"

#include <algorithm>

namespace {

// One block at a time settles the time of the one before it.
constexpr int reorder_window = 1;
constexpr DWORD wavpack_tag = 0x5756;

}

CMatroskaSplitterOutputPin::CMatroskaSplitterOutputPin(int min_cache, REFERENCE_TIME default_duration,
                                                       std::vector<CMediaType> types, const WCHAR* name,
                                                       CBaseSplitterFilter* filter, CCritSec* lock, HRESULT* result)
    : CBaseSplitterOutputPin(std::move(types), name, filter, lock, result), m_nMinCache(min_cache),
      m_rtDefaultDuration(default_duration)
{
    m_nMinCache = reorder_window;
}

CMatroskaSplitterOutputPin::~CMatroskaSplitterOutputPin() = default;

HRESULT CMatroskaSplitterOutputPin::DeliverEndFlush()
{
    {
        std::scoped_lock hold(m_csQueue);
        m_packets.clear();
        m_rob.clear();
        m_tos.clear();
    }
    return CBaseSplitterOutputPin::DeliverEndFlush();
}

HRESULT CMatroskaSplitterOutputPin::DeliverPacket(std::unique_ptr<Packet> packet)
{
    auto* block = dynamic_cast<MatroskaPacket*>(packet.get());
    if (!block) return CBaseSplitterOutputPin::DeliverPacket(std::move(packet));
    packet.release();
    std::unique_ptr<MatroskaPacket> p(block);

    std::scoped_lock hold(m_csQueue);
    // Taken before a flush that has begun since: the flush's end would not see it.
    if (TakenBeforeFlush()) return S_OK;
    m_rob.push_back(p.get());
    m_packets.push_back(std::move(p));
    if (m_rob.size() == static_cast<std::size_t>(m_nMinCache) + 1) {
        MatroskaPacket* a = m_rob[0];
        const MatroskaPacket* b = m_rob[1];
        if (!a->bg->BlockDuration.IsSet()) {
            a->bg->BlockDuration.Set(1);
            if (a->rtStart < b->rtStart) a->rtStop = b->rtStart;
        }
    }
    while (!m_rob.empty() && m_rob.front()->bg->BlockDuration.IsSet()) {
        m_tos.emplace_back(m_rob.front()->rtStart, m_rob.front()->rtStop);
        m_rob.pop_front();
        std::unique_ptr<MatroskaPacket> next = std::move(m_packets.front());
        m_packets.pop_front();
        HRESULT hr = DeliverBlock(std::move(next));
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT CMatroskaSplitterOutputPin::DeliverEndOfStream()
{
    {
        std::scoped_lock hold(m_csQueue);
        while (!m_rob.empty()) {
            MatroskaPacket* p = m_rob.front();
            m_rob.pop_front();
            if (m_rob.empty() || p->bg->BlockDuration.IsSet()) {
                // The default duration is a frame's: a laced block lasts as long as all its frames.
                const auto frames = static_cast<REFERENCE_TIME>(std::max<std::size_t>(p->bg->b.BlockData.size(), 1));
                if (m_rob.empty() && m_rtDefaultDuration > 0) p->rtStop = p->rtStart + m_rtDefaultDuration * frames;
            } else {
                p->rtStop = m_rob.front()->rtStart;
            }
            m_tos.emplace_back(p->rtStart, p->rtStop);
        }
        while (!m_packets.empty()) {
            std::unique_ptr<MatroskaPacket> p = std::move(m_packets.front());
            m_packets.pop_front();
            HRESULT hr = DeliverBlock(std::move(p));
            if (hr != S_OK) return hr;
        }
    }
    return CBaseSplitterOutputPin::DeliverEndOfStream();
}

HRESULT CMatroskaSplitterOutputPin::DeliverBlock(std::unique_ptr<MatroskaPacket> p)
{
    if (!m_tos.empty()) {
        std::tie(p->rtStart, p->rtStop) = m_tos.front();
        m_tos.pop_front();
    }
    auto& frames = p->bg->b.BlockData;
    // A block without frames has nothing to deliver (and no time to divide).
    if (frames.empty()) return S_OK;
    const REFERENCE_TIME step = (p->rtStop - p->rtStart) / static_cast<REFERENCE_TIME>(frames.size());
    REFERENCE_TIME start = p->rtStart, stop = start + step;
    bool discontinuity = p->bDiscontinuity, sync = p->bSyncPoint;
    for (auto& frame : frames) {
        auto out = std::make_unique<Packet>();
        out->TrackNumber = p->TrackNumber;
        out->bDiscontinuity = discontinuity;
        out->bSyncPoint = sync;
        out->rtStart = start;
        out->rtStop = stop;
        out->data = std::move(frame);   // the block goes with this call: its frames need no copy
        HRESULT hr = CBaseSplitterOutputPin::DeliverPacket(std::move(out));
        if (hr != S_OK) return hr;
        start += step;
        stop += step;
        discontinuity = sync = false;
    }
    if (CurrentMediaType().subtype != plat::fourcc_guid(wavpack_tag)) return S_OK;
    for (const auto& more : p->bg->ba.bm) {
        auto out = std::make_unique<Packet>();
        out->TrackNumber = p->TrackNumber;
        out->rtStart = p->rtStart;
        out->rtStop = p->rtStop;
        out->data = more->BlockAdditional.Bytes();
        HRESULT hr = CBaseSplitterOutputPin::DeliverPacket(std::move(out));
        if (hr != S_OK) return hr;
    }
    return S_OK;
}
