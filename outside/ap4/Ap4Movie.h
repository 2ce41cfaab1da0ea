#pragma once
// AP4_Movie: the movie header's time scale and the tracks of its trak atoms.

#include "outside/ap4/Ap4Types.h"

#include <memory>
#include <vector>

class AP4_ByteStream;
class AP4_MoovAtom;
class AP4_Track;

class AP4_Movie {
public:
    // The moov atom stays owned by the file.
    AP4_Movie(AP4_MoovAtom* moov, AP4_ByteStream* sample_stream);
    ~AP4_Movie();
    AP4_Movie(const AP4_Movie&) = delete;
    AP4_Movie& operator=(const AP4_Movie&) = delete;

    AP4_MoovAtom* GetMoovAtom() const { return m_moov; }
    AP4_UI32 GetTimeScale() const { return m_time_scale; }
    // The tracks in file order.
    const std::vector<std::unique_ptr<AP4_Track>>& GetTracks() const { return m_tracks; }
    AP4_Track* GetTrack(AP4_UI32 track_id) const;

private:
    AP4_MoovAtom* const m_moov;
    AP4_UI32 m_time_scale{0};
    std::vector<std::unique_ptr<AP4_Track>> m_tracks;
};
