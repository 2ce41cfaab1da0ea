#pragma once
// CMatroskaSplitterOutputPin: the output pin of one Matroska track. A block
// without a duration waits until the next block of its track (or the end of
// the stream) settles its stop time; then each of its laced frames goes out
// as a packet of its own, the block's time span divided evenly between them.
// WavPack blocks also deliver their block additions. Other packets pass
// through unchanged.

#include "splitter/base/BaseSplitterOutputPin.h"

#include <deque>
#include <mutex>
#include <utility>

class MatroskaPacket;

class CMatroskaSplitterOutputPin final : public CBaseSplitterOutputPin {
public:
    CMatroskaSplitterOutputPin(int min_cache, REFERENCE_TIME default_duration, std::vector<CMediaType> types,
                               const WCHAR* name, CBaseSplitterFilter* filter, CCritSec* lock, HRESULT* result);
    ~CMatroskaSplitterOutputPin() override;

    HRESULT DeliverEndFlush() override;

protected:
    HRESULT DeliverPacket(std::unique_ptr<Packet> packet) override;
    HRESULT DeliverEndOfStream() override;

private:
    HRESULT DeliverBlock(std::unique_ptr<MatroskaPacket> p);

    int m_nMinCache;
    const REFERENCE_TIME m_rtDefaultDuration;   // 0 when the track has none
    std::mutex m_csQueue;   // held while a block is delivered; the flush's end waits for it
    std::deque<std::unique_ptr<MatroskaPacket>> m_packets;            // guarded by m_csQueue
    std::deque<MatroskaPacket*> m_rob;                               // guarded by m_csQueue; not owned
    std::deque<std::pair<REFERENCE_TIME, REFERENCE_TIME>> m_tos;     // guarded by m_csQueue
};
