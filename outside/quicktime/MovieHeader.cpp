#include "outside/quicktime/MovieHeader.h"

#include "outside/ap4/Ap4ByteStream.h"
#include "outside/ap4/Ap4File.h"
#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4Track.h"

#include <algorithm>
#include <cstdio>

namespace qt {
namespace {

constexpr AP4_UI32 track_enabled = 1;

// The atom library's stream over a file: the movie header is read in place,
// the sample data is skipped.
class FileByteStream final : public AP4_ByteStream {
public:
    explicit FileByteStream(std::FILE* file) : m_file(file) {}

    AP4_Result ReadPartial(void* buffer, AP4_Size bytes_to_read, AP4_Size& bytes_read) override
    {
        bytes_read = static_cast<AP4_Size>(std::fread(buffer, 1, bytes_to_read, m_file));
        if (bytes_read > 0 || bytes_to_read == 0) return AP4_SUCCESS;
        return std::ferror(m_file) ? AP4_ERROR_READ_FAILED : AP4_ERROR_EOS;
    }
    AP4_Result WritePartial(const void*, AP4_Size, AP4_Size& bytes_written) override
    {
        bytes_written = 0;
        return AP4_ERROR_WRITE_FAILED;
    }
    AP4_Result Seek(AP4_Position position) override
    {
        return fseeko(m_file, static_cast<off_t>(position), SEEK_SET) == 0 ? AP4_SUCCESS : AP4_FAILURE;
    }
    AP4_Result Tell(AP4_Position& position) override
    {
        const off_t at = ftello(m_file);
        if (at < 0) return AP4_FAILURE;
        position = static_cast<AP4_Position>(at);
        return AP4_SUCCESS;
    }
    AP4_Result GetSize(AP4_LargeSize& size) override
    {
        const off_t at = ftello(m_file);
        if (at < 0 || fseeko(m_file, 0, SEEK_END) != 0) return AP4_FAILURE;
        const off_t end = ftello(m_file);
        fseeko(m_file, at, SEEK_SET);
        if (end < 0) return AP4_FAILURE;
        size = static_cast<AP4_LargeSize>(end);
        return AP4_SUCCESS;
    }
    void AddReference() override { ++m_references; }
    void Release() override
    {
        if (--m_references == 0) delete this;
    }

private:
    ~FileByteStream() override { std::fclose(m_file); }

    std::FILE* const m_file;
    int m_references{1};
};

// Nothing for a track without a composition offset table.
std::optional<CompositionOffsets> composition_offsets(const AP4_Track& track)
{
    if (track.GetTrakAtom()->FindChild("mdia/minf/stbl/ctts") == nullptr) return std::nullopt;
    CompositionOffsets offsets{{}, 0};
    offsets.samples.reserve(track.GetSampleCount());
    AP4_Sample sample;
    for (AP4_Ordinal i = 0; i < track.GetSampleCount() && AP4_SUCCEEDED(track.GetSample(i, sample)); ++i) {
        const auto offset = static_cast<std::int32_t>(sample.GetCts() - static_cast<AP4_SI64>(sample.GetDts()));
        offsets.samples.push_back({static_cast<std::int64_t>(sample.GetOffset()), offset});
        offsets.shift = std::max(offsets.shift, -offset);
    }
    std::sort(offsets.samples.begin(), offsets.samples.end(),
              [](const auto& a, const auto& b) { return a.position < b.position; });
    return offsets;
}

}

std::int32_t CompositionOffsets::at(std::int64_t position) const
{
    const auto found = std::lower_bound(samples.begin(), samples.end(), position,
                                        [](const Sample& s, std::int64_t p) { return s.position < p; });
    return found != samples.end() && found->position == position ? found->offset : 0;
}

std::optional<MovieHeader> read_movie_header(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    const AP4_StreamReference stream = AP4_StreamReference::adopt(new FileByteStream(file));
    const AP4_File movie_file(*stream.get());
    const AP4_Movie* movie = movie_file.GetMovie();
    if (movie == nullptr) return std::nullopt;
    const auto* mvhd = dynamic_cast<const AP4_MvhdAtom*>(movie->GetMoovAtom()->FindChild("mvhd"));
    if (mvhd == nullptr || mvhd->GetTimeScale() == 0 || mvhd->GetTimeScale() > 0x7FFFFFFF) return std::nullopt;
    MovieHeader header{static_cast<TimeScale>(mvhd->GetTimeScale()), static_cast<std::int64_t>(mvhd->GetDuration()), {}};
    for (const auto& track : movie->GetTracks()) {
        const auto* tkhd = dynamic_cast<const AP4_TkhdAtom*>(track->GetTrakAtom()->FindChild("tkhd"));
        if (tkhd) header.enabled[tkhd->GetTrackId()] = (tkhd->GetFlags() & track_enabled) != 0;
        if (track->GetType() != AP4_Track::TYPE_VIDEO) continue;
        if (auto offsets = composition_offsets(*track)) header.composition[track->GetId()] = std::move(*offsets);
    }
    return header;
}

}
