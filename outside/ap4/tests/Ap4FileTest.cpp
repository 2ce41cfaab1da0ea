// The atom library over ffmpeg's files, compared with ffprobe, and the atoms
// the splitter added.

#include "outside/ap4/Ap4AtomFactory.h"
#include "outside/ap4/Ap4EsdsAtom.h"
#include "outside/ap4/Ap4File.h"
#include "outside/ap4/Ap4HeaderAtoms.h"
#include "outside/ap4/Ap4LeafAtoms.h"
#include "outside/ap4/Ap4MoovAtom.h"
#include "outside/ap4/Ap4Movie.h"
#include "outside/ap4/Ap4SampleDescription.h"
#include "outside/ap4/Ap4SampleEntry.h"
#include "outside/ap4/Ap4Track.h"
#include "outside/ap4/tests/Ap4Testing.h"
#include "splitter/base/testing/TestMedia.h"

#include <gtest/gtest.h>

using namespace ap4_testing;

namespace {

const char* const fixtures[] = {"h264-aac.mp4", "mpeg4-mp3.mp4", "mpeg2-aac.mp4", "mpeg1-mp2.mp4", "text-chapters.mp4",
                                "h264-aac.mov"};

void expect_samples_as_probed(const AP4_Movie& movie, const std::map<int, std::vector<ProbedSample>>& probed)
{
    ASSERT_FALSE(probed.empty());
    for (const auto& [stream, samples] : probed) {
        SCOPED_TRACE("stream " + std::to_string(stream));
        ASSERT_LT(static_cast<std::size_t>(stream), movie.GetTracks().size());
        const AP4_Track& track = *movie.GetTracks()[static_cast<std::size_t>(stream)];
        ASSERT_EQ(track.GetSampleCount(), samples.size());
        for (AP4_Ordinal i = 0; i < samples.size(); ++i) {
            AP4_Sample s;
            ASSERT_EQ(track.GetSample(i, s), AP4_SUCCESS) << i;
            const ProbedSample& p = samples[i];
            EXPECT_EQ(s.GetOffset(), p.offset) << i;
            EXPECT_EQ(s.GetSize(), p.size) << i;
            EXPECT_EQ(s.GetDts(), p.dts) << i;
            EXPECT_EQ(s.GetCts(), p.pts) << i;
            if (p.duration >= 0) {
                EXPECT_EQ(s.GetDuration(), p.duration) << i;
            }
            EXPECT_EQ(s.IsSync(), p.key) << i;
        }
    }
}

// The probed packets of one stream, in sample order (ffprobe lists them by position).
std::map<int, std::vector<ProbedSample>> in_sample_order(std::map<int, std::vector<ProbedSample>> probed)
{
    for (auto& [stream, samples] : probed)
        std::stable_sort(samples.begin(), samples.end(), [](const auto& a, const auto& b) { return a.dts < b.dts; });
    return probed;
}

struct OpenFile {
    explicit OpenFile(const Bytes& bytes) : stream(memory_stream(bytes)), file(*stream.get()) {}
    AP4_StreamReference stream;
    AP4_File file;
};

}

TEST(Ap4File, SamplesAgreeWithFfprobe)
{
    for (const char* name : fixtures) {
        SCOPED_TRACE(name);
        const std::string path = test_media(name);
        ASSERT_FALSE(path.empty());
        OpenFile f(read_file(path));
        ASSERT_NE(f.file.GetMovie(), nullptr);
        expect_samples_as_probed(*f.file.GetMovie(), in_sample_order(probe_samples(path)));
    }
}

TEST(Ap4File, CompressedMovieHeaderGivesWhatTheOriginalGives)
{
    for (const char* name : fixtures) {
        SCOPED_TRACE(name);
        const std::string path = test_media(name);
        const Bytes packed = with_compressed_movie(read_file(path));
        ASSERT_FALSE(packed.empty());
        OpenFile f(packed);
        ASSERT_NE(f.file.GetMovie(), nullptr);
        AP4_MoovAtom* moov = f.file.GetMovie()->GetMoovAtom();
        // The inner header's atoms are the movie's own children, and no movie atom is left inside.
        EXPECT_NE(moov->GetChild(AP4_ATOM_TYPE('t', 'r', 'a', 'k')), nullptr);
        EXPECT_NE(moov->GetChild(AP4_ATOM_TYPE('m', 'v', 'h', 'd')), nullptr);
        EXPECT_EQ(moov->GetChild(AP4_ATOM_TYPE('m', 'o', 'o', 'v')), nullptr);
        expect_samples_as_probed(*f.file.GetMovie(), in_sample_order(probe_samples(path)));
    }
}

TEST(Ap4File, CompressedMovieHeaderOfAnotherCompressorHasNoTracks)
{
    OpenFile f(with_compressed_movie(read_file(test_media("h264-aac.mp4")), "lzo "));
    ASSERT_NE(f.file.GetMovie(), nullptr);
    EXPECT_TRUE(f.file.GetMovie()->GetTracks().empty());
}

TEST(Ap4File, TracksKindsNamesAndDescriptions)
{
    struct Expected {
        AP4_Track::Type type;
        const char* handler_name;
        AP4_SampleDescription::Type description;   // TYPE_ISMACRYP stands for "none" here
        AP4_UI08 object_type;
    };
    constexpr auto none = AP4_SampleDescription::TYPE_ISMACRYP;
    const struct {
        const char* file;
        std::vector<Expected> tracks;
    } cases[] = {
        {"h264-aac.mp4",
         {{AP4_Track::TYPE_VIDEO, "VideoHandler", none, 0}, {AP4_Track::TYPE_AUDIO, "SoundHandler", AP4_SampleDescription::TYPE_MPEG, 0x40}}},
        {"mpeg2-aac.mp4",
         {{AP4_Track::TYPE_VIDEO, "VideoHandler", AP4_SampleDescription::TYPE_MPEG, 0x61},
          {AP4_Track::TYPE_AUDIO, "SoundHandler", AP4_SampleDescription::TYPE_MPEG, 0x40}}},
        {"mpeg1-mp2.mp4",
         {{AP4_Track::TYPE_VIDEO, "VideoHandler", AP4_SampleDescription::TYPE_MPEG, 0x6A},
          {AP4_Track::TYPE_AUDIO, "SoundHandler", AP4_SampleDescription::TYPE_MPEG, 0x6B}}},
        // The timed-text subtitles sit under an "sbtl" handler: no kind the splitter uses.
        {"text-chapters.mp4",
         {{AP4_Track::TYPE_VIDEO, "VideoHandler", none, 0},
          {AP4_Track::TYPE_UNKNOWN, "SubtitleHandler", AP4_SampleDescription::TYPE_UNKNOWN, 0},
          {AP4_Track::TYPE_TEXT, "SubtitleHandler", AP4_SampleDescription::TYPE_UNKNOWN, 0}}},
        // QuickTime counts its handler names; its AAC descriptor lies inside "wave".
        {"h264-aac.mov",
         {{AP4_Track::TYPE_VIDEO, "VideoHandler", none, 0}, {AP4_Track::TYPE_AUDIO, "SoundHandler", AP4_SampleDescription::TYPE_MPEG, 0x40}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        OpenFile f(read_file(test_media(c.file)));
        ASSERT_NE(f.file.GetMovie(), nullptr);
        const auto& tracks = f.file.GetMovie()->GetTracks();
        ASSERT_EQ(tracks.size(), c.tracks.size());
        for (std::size_t i = 0; i < tracks.size(); ++i) {
            SCOPED_TRACE(i);
            const Expected& e = c.tracks[i];
            EXPECT_EQ(tracks[i]->GetId(), i + 1);
            EXPECT_EQ(tracks[i]->GetType(), e.type);
            auto* hdlr = dynamic_cast<AP4_HdlrAtom*>(tracks[i]->GetTrakAtom()->FindChild("mdia/hdlr"));
            ASSERT_NE(hdlr, nullptr);
            EXPECT_EQ(hdlr->GetHandlerName(), e.handler_name);
            AP4_SampleDescription* d = tracks[i]->GetSampleDescription(0);
            if (e.description == none) {
                EXPECT_EQ(d, nullptr);
                continue;
            }
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->GetType(), e.description);
            if (auto* mpeg = dynamic_cast<AP4_MpegSampleDescription*>(d)) {
                EXPECT_EQ(mpeg->GetObjectTypeId(), e.object_type);
            }
        }
    }
}

TEST(Ap4File, AvcEntryKeepsItsConfigurationAndTextEntriesTheirClasses)
{
    OpenFile f(read_file(test_media("text-chapters.mp4")));
    const auto& tracks = f.file.GetMovie()->GetTracks();
    auto* avc1 = dynamic_cast<AP4_Avc1SampleEntry*>(tracks[0]->GetTrakAtom()->FindChild("mdia/minf/stbl/stsd/avc1"));
    ASSERT_NE(avc1, nullptr);
    EXPECT_EQ(avc1->GetWidth(), 176);
    EXPECT_EQ(avc1->GetHeight(), 144);
    auto* avcc = dynamic_cast<AP4_AvcCAtom*>(avc1->GetChild(AP4_ATOM_TYPE('a', 'v', 'c', 'C')));
    ASSERT_NE(avcc, nullptr);
    EXPECT_EQ(avcc->GetRawBytes().GetData()[0], 1);   // configuration version
    EXPECT_NE(dynamic_cast<AP4_Tx3gSampleEntry*>(tracks[1]->GetTrakAtom()->FindChild("mdia/minf/stbl/stsd/tx3g")), nullptr);
    EXPECT_NE(dynamic_cast<AP4_TextSampleEntry*>(tracks[2]->GetTrakAtom()->FindChild("mdia/minf/stbl/stsd/text")), nullptr);
    auto* chpl = dynamic_cast<AP4_ChplAtom*>(f.file.FindChild("moov/udta/chpl"));
    ASSERT_NE(chpl, nullptr);
    ASSERT_EQ(chpl->GetChapters().size(), 2u);
    EXPECT_EQ(chpl->GetChapters()[1].title, "Closing");
    EXPECT_EQ(chpl->GetChapters()[1].start, 10000000u);
}

TEST(Ap4File, SampleIndexForATime)
{
    OpenFile f(read_file(test_media("mpeg4-mp3.mp4")));
    const AP4_Track& video = *f.file.GetMovie()->GetTracks()[0];
    const struct {
        AP4_UI64 ms;
        AP4_Ordinal index;
    } cases[] = {{0, 0}, {39, 0}, {40, 1}, {1000, 25}, {2999, 74}, {3000, 75}, {100000, 75}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ms);
        AP4_Ordinal index = 99;
        ASSERT_EQ(video.GetSampleIndexForTimeStampMs(c.ms, index), AP4_SUCCESS);
        EXPECT_EQ(index, c.index);
    }
    EXPECT_EQ(video.GetSampleCount(), 75u);
    EXPECT_EQ(video.GetDuration(), 3000u);
}
