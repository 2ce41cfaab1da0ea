#include "outside/ap4/Ap4Movie.h"

#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4Track.h"

AP4_Movie::AP4_Movie(AP4_MoovAtom* moov, AP4_ByteStream* sample_stream) : m_moov(moov)
{
    if (auto* mvhd = dynamic_cast<AP4_MvhdAtom*>(moov->GetChild(AP4_ATOM_TYPE('m', 'v', 'h', 'd'))))
        m_time_scale = mvhd->GetTimeScale();
    for (AP4_ContainerAtom* trak : moov->GetTrakAtoms()) m_tracks.push_back(std::make_unique<AP4_Track>(trak, sample_stream));
}

AP4_Movie::~AP4_Movie() = default;

AP4_Track* AP4_Movie::GetTrack(AP4_UI32 track_id) const
{
    for (const auto& t : m_tracks)
        if (t->GetId() == track_id) return t.get();
    return nullptr;
}
