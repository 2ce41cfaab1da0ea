#pragma once
// MP4 files built byte by byte for the parser's edge cases: tracks with a
// handler, one sample entry and one chunk of samples in the mdat.

#include "outside/ap4/tests/Ap4Testing.h"

#include <string>
#include <vector>

namespace mp4_testing {

using namespace ap4_testing;

inline Bytes visual_entry(const std::string& type, int width, int height, const Bytes& children = {})
{
    return atom(type, be(0, 6) + be(1, 2) + be(0, 16) + be(width, 2) + be(height, 2) + be(0x480000, 4) +
                          be(0x480000, 4) + be(0, 4) + be(1, 2) + Bytes(32) + be(24, 2) + be(0xFFFF, 2) + children);
}

// A QuickTime version 1 sound description when bytes_per_frame is given.
inline Bytes audio_entry(const std::string& type, int channels, int bits, int rate, const Bytes& children = {},
                         int bytes_per_frame = -1)
{
    const int version = bytes_per_frame >= 0 ? 1 : 0;
    Bytes v1;
    if (version == 1) v1 = be(1, 4) + be(channels * bits / 8, 4) + be(bytes_per_frame, 4) + be(bits / 8, 4);
    return atom(type, be(0, 6) + be(1, 2) + be(version, 2) + be(0, 2) + be(0, 4) + be(channels, 2) + be(bits, 2) +
                          be(0, 4) + be(static_cast<AP4_UI64>(rate) << 16, 4) + v1 + children);
}

// An esds with a decoder configuration of the object type and decoder-specific bytes.
inline Bytes esds(int object_type, int stream_type, const Bytes& info)
{
    const Bytes specific = be(5, 1) + be(info.size(), 1) + info;
    const Bytes config = be(4, 1) + be(13 + specific.size(), 1) + be(object_type, 1) + be(stream_type << 2 | 1, 1) +
                         be(0, 3) + be(128000, 4) + be(128000, 4) + specific;
    const Bytes es = be(3, 1) + be(3 + config.size(), 1) + be(1, 2) + be(0, 1) + config;
    return full_atom("esds", es);
}

struct TrackSpec {
    AP4_UI32 id;
    std::string handler;
    std::string name;                  // the handler name
    Bytes entry;                       // the whole sample-entry atom
    std::vector<AP4_UI32> sizes;       // one chunk of samples
    AP4_UI32 delta{1000};              // each sample's duration, in the 10000 time scale
    std::vector<AP4_UI32> syncs;       // empty: no stss
    Bytes payload;                     // the samples' bytes, placed in the mdat
};

inline Bytes track_atom(const TrackSpec& t, AP4_UI64 chunk_offset)
{
    const AP4_UI64 count = t.sizes.size();
    Bytes stsz = be(0, 4) + be(count, 4);
    for (AP4_UI32 s : t.sizes) stsz = stsz + be(s, 4);
    Bytes tables = full_atom("stsd", be(1, 4) + t.entry) + full_atom("stts", be(1, 4) + be(count, 4) + be(t.delta, 4)) +
                   full_atom("stsc", be(1, 4) + be(1, 4) + be(count, 4) + be(1, 4)) + full_atom("stsz", stsz) +
                   full_atom("stco", be(1, 4) + be(chunk_offset, 4));
    if (!t.syncs.empty()) {
        Bytes stss = be(t.syncs.size(), 4);
        for (AP4_UI32 s : t.syncs) stss = stss + be(s, 4);
        tables = tables + full_atom("stss", stss);
    }
    const Bytes hdlr = full_atom("hdlr", be(0, 4) + text(t.handler) + be(0, 12) + text(t.name) + be(0, 1));
    const Bytes mdhd = full_atom("mdhd", be(0, 8) + be(10000, 4) + be(count * t.delta, 4) + be(0x15C7, 2) + be(0, 2));
    return atom("trak", full_atom("tkhd", be(0, 8) + be(t.id, 4) + be(0, 8)) +
                            atom("mdia", mdhd + hdlr + atom("minf", atom("stbl", tables))));
}

// ftyp, the mdat with every track's samples in turn, then the moov.
inline Bytes movie_file(const std::vector<TrackSpec>& tracks)
{
    const Bytes ftyp = atom("ftyp", text("isom") + be(0, 4));
    Bytes payload;
    Bytes traks;
    for (const TrackSpec& t : tracks) {
        traks = traks + track_atom(t, ftyp.size() + 8 + payload.size());
        payload = payload + t.payload;
    }
    return ftyp + atom("mdat", payload) + atom("moov", full_atom("mvhd", be(0, 8) + be(1000, 4) + be(0, 4)) + traks);
}

}
