#pragma once
// CMP4Parser: reads MP4 and QuickTime movies through the atom library. One
// output pin per audio, video, text or subpicture track whose first sample
// gives media types (a timed-text track gets a second, plain-text pin that
// receives nothing); the demultiplexing loop hands out the samples of all
// tracks in time order.

#include "splitter/base/BaseParser.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class AP4_Sample;
class AP4_Track;
class Packet;
class CMP4SplitterFile;

class CMP4Parser final : public CBaseParser {
public:
    // Added to a timed-text track's id for its plain-text pin.
    static constexpr DWORD plain_text_track_mask = 0x80402010;
    // Uncompressed sound stored a unit (a byte or a frame) a sample is
    // gathered into packets of at least this many bytes.
    static constexpr std::size_t gathered_sound_bytes = 1200;

    explicit CMP4Parser(CBaseSplitterFilter* filter);
    ~CMP4Parser() override;

    HRESULT Open(IAsyncReader* reader) override;
    bool DemuxInit() override;
    void CloseFile() override;
    bool DemuxSeek(REFERENCE_TIME start) override;
    int DemuxLoop() override;
    bool SetCacheSize(int size) override;

private:
    struct TrackState {
        const AP4_Track* track;    // owned by the file's movie
        std::uint32_t index;       // the next sample to deliver
        LONGLONG next_time;        // its composition time, in the track's time scale
    };

    HRESULT AddTrack(const AP4_Track& track);
    // The track to deliver from next; null when every one is done or unconnected.
    TrackState* NextTrack();
    // Makes and delivers the packet of the sample at the state's index.
    HRESULT DeliverSample(TrackState& state);
    // The block alignment of the wave format of the track's connected pin, and
    // the bytes of a frame (the alignment when set, else channels x bytes per
    // sample); zeros without a wave format.
    struct SoundFraming {
        WORD block_align = 0;
        DWORD frame_bytes = 0;
    };
    SoundFraming PinFraming(const AP4_Track& track) const;
    bool IsSoundUnit(const AP4_Track& track, const AP4_Sample& sample) const;
    // Sound samples that lie one after the other in the file.
    struct SoundRun {
        std::uint64_t offset = 0;
        std::size_t size = 0;
        LONGLONG units = 0;   // time units
    };
    bool GatherSound(TrackState& state, Packet& packet);
    bool ReadRun(const SoundRun& run, std::vector<BYTE>& data);
    LONGLONG CompositionTime(const AP4_Track& track, std::uint32_t index, LONGLONG otherwise) const;

    std::map<DWORD, TrackState> m_tracks;   // by track id, ascending
    std::unique_ptr<CMP4SplitterFile> m_file;
};
