#pragma once
// AP4_Track: one trak of the movie: its id, its kind (from the handler of
// mdia/hdlr), its samples and their descriptions.

#include "outside/ap4/Ap4SampleTable.h"

#include <memory>

class AP4_ContainerAtom;
class AP4_SampleDescription;
class AP4_StsdAtom;

class AP4_Track {
public:
    enum Type { TYPE_UNKNOWN, TYPE_AUDIO, TYPE_VIDEO, TYPE_TEXT, TYPE_SUBP, TYPE_HINT };

    // The trak atom stays owned by the movie atom; the stream holds the samples.
    AP4_Track(AP4_ContainerAtom* trak, AP4_ByteStream* sample_stream);
    ~AP4_Track();
    AP4_Track(const AP4_Track&) = delete;
    AP4_Track& operator=(const AP4_Track&) = delete;

    AP4_UI32 GetId() const { return m_id; }
    Type GetType() const { return m_type; }
    AP4_UI32 GetMediaTimeScale() const { return m_time_scale; }
    // The media's duration in milliseconds.
    AP4_UI64 GetDuration() const { return m_duration_ms; }
    AP4_Size GetSampleCount() const { return m_samples.GetSampleCount(); }
    AP4_Result GetSample(AP4_Ordinal index, AP4_Sample& sample) const;
    AP4_Result ReadSample(AP4_Ordinal index, AP4_Sample& sample, AP4_DataBuffer& data) const;
    // The sample playing at a time in milliseconds; at or past the track's end, the sample count.
    AP4_Result GetSampleIndexForTimeStampMs(AP4_UI64 ms, AP4_Ordinal& index) const;
    // Null past the entries or for an entry that gives no description.
    AP4_SampleDescription* GetSampleDescription(AP4_Ordinal index) const;
    AP4_ContainerAtom* GetTrakAtom() const { return m_trak; }

private:
    AP4_ContainerAtom* const m_trak;
    AP4_UI32 m_id{0};
    Type m_type{TYPE_UNKNOWN};
    AP4_UI32 m_time_scale{0};
    AP4_UI64 m_duration_ms{0};
    AP4_StsdAtom* m_stsd{nullptr};   // in the trak
    AP4_AtomSampleTable m_samples;
};
