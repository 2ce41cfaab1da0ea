#pragma once
// CMPEG4VideoParser: reads a bare MPEG-4 Visual elementary stream. One video
// pin (track 0); everything before the first video object plane is the
// decoder's sequence header; each plane is one packet, timed by a fixed
// frame period. A run starts at the last intra plane at or before its start
// time, found through an index of the planes seen so far.

#include "splitter/base/BaseParser.h"
#include "splitter/base/BaseSplitterFileEx.h"

#include <memory>
#include <vector>

class CMPEG4VideoParser final : public CBaseParser {
public:
    // The stream is read in blocks of this many bytes, from where a run starts.
    static constexpr LONGLONG block_size = 256 * 1024;

    explicit CMPEG4VideoParser(CBaseSplitterFilter* filter);
    ~CMPEG4VideoParser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override { return true; }
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;
    bool SetCacheSize(int size) override;

private:
    struct Header;
    class PlaneFinder;
    class PlaneCutter;
    // A plane by its number in the stream (from 0) and the offset of its start code.
    struct IndexedPlane {
        LONGLONG plane;
        LONGLONG offset;
    };

    bool ReadVisualObject(Header& h);
    bool ReadVideoObjectLayer(Header& h);
    bool SkipToStartCode();
    HRESULT AddPin(const Header& h);
    REFERENCE_TIME FramePeriod();
    // The block of the stream at offset; false at the end or when it cannot be read.
    bool ReadBlock(LONGLONG offset, std::vector<BYTE>& block);
    // Records a plane seen for the first time.
    void Remember(LONGLONG plane, LONGLONG offset, bool intra);
    // Scans on from the index's last plane until it holds the plane wanted or the stream ends.
    void ExtendIndex(LONGLONG wanted);

    LONGLONG m_data_start{0};                   // the first plane's start code
    LONGLONG m_length{0};                       // of the whole stream, known when opened
    std::unique_ptr<CBaseSplitterFileEx> m_file;
    std::vector<IndexedPlane> m_intra_planes;   // every intra plane seen so far, in order
    IndexedPlane m_index_end{0, 0};             // the last plane seen so far
    IndexedPlane m_run_start{0, 0};             // where the next run starts
};
