#pragma once
// CRealMediaSplitterOutputPin: the output pin of one RealMedia stream. It
// regroups packets by codec before the base delivery: RealVideo pieces are
// gathered into whole frames, AAC packets split into one packet a frame, and
// the AC-3 of DNET streams has its 16-bit words swapped back.

#include "splitter/base/BaseSplitterOutputPin.h"

#include <mutex>
#include <vector>

class CRealMediaSplitterOutputPin final : public CBaseSplitterOutputPin {
public:
    CRealMediaSplitterOutputPin(std::vector<CMediaType> types, const WCHAR* name, CBaseSplitterFilter* filter,
                                CCritSec* lock, HRESULT* result);
    ~CRealMediaSplitterOutputPin() override;

    HRESULT DeliverEndFlush() override;
    HRESULT DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

protected:
    HRESULT DeliverPacket(std::unique_ptr<Packet> packet) override;
    HRESULT DeliverEndOfStream() override;

private:
    struct Segment {
        DWORD offset;
        std::vector<BYTE> data;
    };
    HRESULT DeliverVideo(std::unique_ptr<Packet> p);
    HRESULT DeliverAac(std::unique_ptr<Packet> p);
    bool CarriesSbr();
    HRESULT DeliverSegments();   // the frame being gathered, if any
    void ResetSegments();

    std::mutex m_csQueue;                  // guards the frame being gathered
    REFERENCE_TIME m_rtSegmentStart{0};    // guarded by m_csQueue: the new segment's start
    bool m_bDiscontinuity{false}, m_bSyncPoint{false};   // guarded by m_csQueue
    bool m_bWhole{false};                  // guarded by m_csQueue: one piece that is the whole frame
    REFERENCE_TIME m_rtStart{INT64_MIN};   // guarded by m_csQueue: the frame's time
    std::vector<Segment> m_segments;       // guarded by m_csQueue
};
