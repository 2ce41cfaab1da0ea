#include "engines/mediagraph/CAVFileBase.h"
#include "engines/mediagraph/testing/EventLog.h"
#include "engines/mediagraph/testing/FakeFilters.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>

using namespace mediagraph;
using fakes::Shape;
using Changes = std::vector<std::string>;

namespace {

class FileGraph : public testing::Test {
protected:
    // A small file of that name: the file source only has to open it.
    std::u16string file(const std::string& name)
    {
        const std::string path = folder / name;
        std::ofstream(path) << "not a real clip";
        return plat::utf8_to_utf16(path);
    }

    CAVFileBase& graph()
    {
        if (!m_graph) m_graph = std::make_unique<CAVFileBase>(&events.control, lab.maker(), 60000);
        return *m_graph;
    }

    HRESULT play(const std::string& name)
    {
        graph().SetSourcePath(file(name));
        return graph().Play();
    }

    static Shape refusing() { return {{{u"Input", MEDIATYPE_Audio}}, {{u"Video", fakes::video_type(8, 8)}}}; }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    fakes::Lab lab;
    fakes::ListenedControl events;

private:
    std::unique_ptr<CAVFileBase> m_graph;   // last: stopped before the fakes' lab goes
};

}

TEST_F(FileGraph, AFlashVideoPlaysThroughDecodersSubtitleAndRenderers)
{
    fakes::define_working_filters(lab);
    ASSERT_EQ(play("clip.flv"), S_OK);
    EXPECT_EQ(lab.graph_changes(),
              (Changes{"+KVR Splitter", "+Flash Decoder", "+Corva SubTitle", "+Video Mixing Renderer 9", "+KVR Audio Decoder",
                       "+Default DirectSound Device"}));
    EXPECT_EQ(graph().GetSplitterKind(), KIND_KVR);
    EXPECT_EQ(graph().GetPlayState(), PLAY_STATE_RUNNING);
    EXPECT_NE(lab.told("Corva SubTitle property 0").find("clip.flv"), std::string::npos);
    EXPECT_EQ(lab.told("Corva SubTitle property 0").back(), '\0');
    EXPECT_EQ(lab.told("Corva SubTitle property 1"), std::string("\1\0\0\0", 4));

    EXPECT_EQ(graph().Close(), S_OK);
    EXPECT_EQ(graph().GetPlayState(), PLAY_STATE_NONE);
    EXPECT_EQ(lab.graph_changes().size(), 12u);   // every filter left the graph
    EXPECT_EQ(graph().Play(), E_FAIL);            // the path went with it
}

TEST_F(FileGraph, FailedChoicesFallToTheGenericChainInItsOrder)
{
    const struct {
        const char* name;
        std::vector<const FilterId*> refusing;   // these splitters do not take the file
        std::vector<const FilterId*> missing;    // these cannot be made
        Changes splitters;                       // what came and went
        LONG kind;
    } cases[] = {
        {"a.avi", {&AVISplitter}, {}, {"+AVI Splitter", "-AVI Splitter", "+KVR Splitter"}, KIND_KVR},
        {"a.mpg", {&MPEG1Splitter}, {}, {"+MPEG-1 Splitter", "-MPEG-1 Splitter", "+MPEG-2 Splitter"}, KIND_MPEG2},
        {"a.vob", {}, {&MPEG2Splitter}, {"+MPEG-2 demultiplexer"}, KIND_MPEG2},
        {"a.ogg", {&KVRSplitter, &MPEG2Splitter, &MPEG1Splitter}, {},
         {"+KVR Splitter", "-KVR Splitter", "+MPEG-2 Splitter", "-MPEG-2 Splitter", "+MPEG-1 Splitter",
          "-MPEG-1 Splitter", "+MOV Splitter"},
         KIND_MOV},
        {"a.wav", {}, {}, {"+Wave Parser"}, KIND_WAVE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Lab cases_lab;
        fakes::define_working_filters(cases_lab);
        cases_lab.define(MPEG2Demultiplexer, {{{u"Input", GUID_NULL}}, {{u"Video", fakes::video_type(8, 8)}, {u"Audio", fakes::audio_type()}}});
        for (const FilterId* id : c.refusing) cases_lab.define(*id, refusing());
        for (const FilterId* id : c.missing) cases_lab.forget(*id);
        fakes::ListenedControl control;
        CAVFileBase graph(&control.control, cases_lab.maker(), 60000);
        graph.SetSourcePath(file(c.name));
        ASSERT_EQ(graph.Play(), S_OK);
        Changes splitters;
        for (const auto& line : cases_lab.graph_changes())
            if (line.find("Splitter") != std::string::npos || line.find("Parser") != std::string::npos ||
                line.find("demultiplexer") != std::string::npos)
                splitters.push_back(line);
        EXPECT_EQ(splitters, c.splitters);
        EXPECT_EQ(graph.GetSplitterKind(), c.kind);
    }
}

TEST_F(FileGraph, AQuickTimeNameNoSplitterReadsGoesToTheQuickTimeSource)
{
    fakes::define_working_filters(lab);
    for (const FilterId* id : {&KVRSplitter, &MPEG2Splitter, &MPEG1Splitter, &MOVSplitter}) lab.define(*id, refusing());
    lab.define(QTSource, {{}, {{u"Video", fakes::video_type(320, 240)}, {u"Audio", fakes::audio_type()}}, true});
    ASSERT_EQ(play("movie.mov"), S_OK);
    const Changes changes = lab.graph_changes();
    const Changes tail(changes.end() - 3, changes.end());
    EXPECT_EQ(tail, (Changes{"+QT Source", "+Video Mixing Renderer 9", "+Default DirectSound Device"}));
    EXPECT_NE(lab.told("QT Source loaded").find("movie.mov"), std::string::npos);
}

TEST_F(FileGraph, SoundAloneInAVideoContainerPlaysItsSoundAndSaysSo)
{
    const Shape sound_only{{{u"Input", GUID_NULL}}, {{u"Audio", fakes::audio_type()}}};
    const Shape text_only{{{u"Input", GUID_NULL}}, {{u"Text", CMediaType(MEDIATYPE_Text)}}};
    const struct {
        const char* name;
        Shape splitter;       // what the "KVR Splitter" offers
        bool quicktime;       // the QuickTime source offers sound alone (the splitters refuse the file)
        bool plays;
        Changes tail;         // the last filters added
        LONG kind;
    } cases[] = {
        {"podcast.m4a", sound_only, false, true,
         {"+KVR Splitter", "+KVR Audio Decoder", "+Default DirectSound Device"}, KIND_SOUND_ALONE},
        {"tone.flv", sound_only, false, true,
         {"+KVR Splitter", "+KVR Audio Decoder", "+Default DirectSound Device"}, KIND_SOUND_ALONE},
        {"tone.mov", refusing(), true, true, {"+QT Source", "+Default DirectSound Device"}, KIND_SOUND_ALONE},
        {"subtitles.mkv", text_only, false, false, {}, KIND_NONE},   // neither picture nor sound
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakes::Lab cases_lab;
        fakes::define_working_filters(cases_lab);
        cases_lab.define(KVRSplitter, c.splitter);
        if (c.quicktime) {
            for (const FilterId* id : {&MPEG2Splitter, &MPEG1Splitter, &MOVSplitter}) cases_lab.define(*id, refusing());
            cases_lab.define(QTSource, {{}, {{u"Audio", fakes::audio_type()}}, true});
        }
        fakes::ListenedControl control;
        CAVFileBase graph(&control.control, cases_lab.maker(), 60000);
        graph.SetSourcePath(file(c.name));
        EXPECT_EQ(SUCCEEDED(graph.Play()), c.plays);
        EXPECT_EQ(graph.GetSplitterKind(), c.kind);
        EXPECT_EQ(is_audio_only(graph.GetSplitterKind()), c.plays);
        EXPECT_EQ(control.log.count(EVT_GRAPH_FAILED), c.plays ? 0u : 1u);
        EXPECT_EQ(control.log.count(EVT_VIDEO_SIZE), 0u);
        const Changes changes = cases_lab.graph_changes();
        if (c.plays) {
            EXPECT_EQ(graph.GetPlayState(), PLAY_STATE_RUNNING);
            ASSERT_GE(changes.size(), c.tail.size());
            EXPECT_EQ(Changes(changes.end() - c.tail.size(), changes.end()), c.tail);
            EXPECT_EQ(std::count(changes.begin(), changes.end(), "+Video Mixing Renderer 9"), 0);
        }
    }
}

TEST_F(FileGraph, NoRouteReportsTheFailure)
{
    fakes::define_working_filters(lab);
    for (const FilterId* id : {&KVRSplitter, &MPEG2Splitter, &MPEG1Splitter, &MOVSplitter}) lab.define(*id, refusing());
    EXPECT_TRUE(FAILED(play("movie.mov")));   // no QuickTime source, nothing renders the file
    EXPECT_EQ(events.log.count(EVT_GRAPH_FAILED), 1u);
    EXPECT_EQ(graph().GetPlayState(), PLAY_STATE_NONE);
}

TEST_F(FileGraph, VolumeIsKeptWithinZeroToAHundred)
{
    fakes::define_working_filters(lab);
    EXPECT_EQ(graph().SetVolume(50), E_FAIL);   // no graph yet
    ASSERT_EQ(play("clip.flv"), S_OK);
    const struct {
        LONG set;
        bool accepted;
        LONG read;
        const char* renderer;
    } steps[] = {{50, true, 50, "-5000"}, {101, false, 50, "-5000"}, {-1, false, 50, "-5000"},
                 {0, true, 0, "-10000"}, {100, true, 100, "0"}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.set);
        EXPECT_EQ(SUCCEEDED(graph().SetVolume(s.set)), s.accepted);
        EXPECT_EQ(graph().GetVolume(), s.read);
        EXPECT_EQ(lab.told("Default DirectSound Device volume"), s.renderer);
    }
    EXPECT_EQ(graph().SetMute(true), S_OK);
    EXPECT_EQ(lab.told("Default DirectSound Device volume"), "-10000");
    EXPECT_EQ(graph().SetMute(false), S_OK);
    EXPECT_EQ(lab.told("Default DirectSound Device volume"), "0");
}

TEST_F(FileGraph, TheVideoSizeComesFromTheSplittersType)
{
    const struct {
        GUID format;
        LONG width, height;
        INT_PTR reported;
    } cases[] = {{FORMAT_VideoInfo, 640, 360, 640 + 360 * 65536},
                 {FORMAT_VideoInfo2, 1280, -720, 1280 + 720 * 65536},
                 {FORMAT_MPEG2Video, 720, 576, 720 + 576 * 65536},
                 {FORMAT_WaveFormatEx, 640, 360, 320 + 240 * 65536}};
    for (const auto& c : cases) {
        fakes::Lab sizes;
        fakes::define_working_filters(sizes);
        sizes.define(KVRSplitter, {{{u"Input", GUID_NULL}},
                                   {{u"Video", fakes::video_type(c.width, c.height, c.format)}, {u"Audio", fakes::audio_type()}}});
        fakes::ListenedControl control;
        CAVFileBase graph(&control.control, sizes.maker(), 60000);
        graph.SetSourcePath(file("clip.mkv"));
        ASSERT_EQ(graph.Play(), S_OK);
        INT_PTR reported = 0;
        for (const auto& e : control.log.events())
            if (e.code == EVT_VIDEO_SIZE) reported = e.value;
        EXPECT_EQ(reported, c.reported) << c.width << "x" << c.height;
    }
}

TEST_F(FileGraph, PlayStopAndThePositionReports)
{
    fakes::define_working_filters(lab);
    ASSERT_EQ(play("clip.flv"), S_OK);
    EXPECT_TRUE(events.log.wait_for_any({EVT_POSITION}, 5000));
    EXPECT_EQ(graph().Stop(), S_OK);
    EXPECT_EQ(graph().GetPlayState(), PLAY_STATE_STOPPED);
    EXPECT_EQ(graph().Play(), S_OK);
    // The position thread reports from its own thread as soon as the graph is built.
    std::vector<fakes::Reported> control_events;
    for (const auto& e : events.log.events())
        if (e.code != EVT_POSITION) control_events.push_back(e);
    const struct {
        LONG code;
        INT_PTR value, extra;
    } expected[] = {{EVT_VIDEO_SIZE, 640 + 360 * 65536, 0}, {EVT_RUNNING, 0, 0}, {EVT_KEEP_AWAKE, KEEP_AWAKE_KIND, 1},
                    {EVT_STOPPED, 0, 0}, {EVT_KEEP_AWAKE, KEEP_AWAKE_KIND, 0}, {EVT_RUNNING, 0, 0},
                    {EVT_KEEP_AWAKE, KEEP_AWAKE_KIND, 1}};
    ASSERT_EQ(control_events.size(), std::size(expected));
    for (std::size_t i = 0; i < control_events.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(control_events[i].code, expected[i].code);
        EXPECT_EQ(control_events[i].value, expected[i].value);
        EXPECT_EQ(control_events[i].extra, expected[i].extra);
    }
}

TEST_F(FileGraph, DecodersFollowTheSplitterKind)
{
    const struct {
        const char* name;
        bool flash_decoder_missing;
        LONG kind;
        Changes decoders;   // the decoders added, in order
    } cases[] = {
        {"a.flv", false, KIND_KVR, {"+Flash Decoder", "+KVR Audio Decoder"}},
        {"a.flv", true, KIND_KVR, {"+AVC Decoder", "+KVR Audio Decoder"}},
        {"a.avi", false, KIND_AVI, {"+Flash Decoder", "+KVR Audio Decoder"}},
        {"a.wmv", false, KIND_ASF_VIDEO, {"+KVR Audio Decoder"}},   // the reader decodes its pictures
        {"a.mp3", false, KIND_MPEG_AUDIO, {"+KVR Audio Decoder"}},  // sound only
        {"a.wma", false, KIND_ASF_AUDIO, {}},
        {"a.wav", false, KIND_WAVE, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.flash_decoder_missing ? " without the Flash Decoder" : ""));
        fakes::Lab kinds;
        fakes::define_working_filters(kinds);
        kinds.define(AsfReader, {{}, {{u"Video", fakes::video_type(320, 240)}, {u"Audio", fakes::audio_type()}}, true});
        if (c.flash_decoder_missing) kinds.forget(FlashDecoder);
        fakes::ListenedControl control;
        CAVFileBase graph(&control.control, kinds.maker(), 60000);
        graph.SetSourcePath(file(c.name));
        ASSERT_EQ(graph.Play(), S_OK);
        EXPECT_EQ(graph.GetSplitterKind(), c.kind);
        Changes decoders;
        for (const auto& line : kinds.graph_changes())
            if (line.find("Decoder") != std::string::npos) decoders.push_back(line);
        EXPECT_EQ(decoders, c.decoders);
    }
}

TEST_F(FileGraph, TheGenericChainTriesEverySplitterInOrderBeforeItFails)
{
    fakes::define_working_filters(lab);
    for (const FilterId* id : {&KVRSplitter, &MPEG2Splitter, &MPEG1Splitter, &MOVSplitter}) lab.define(*id, refusing());
    lab.define(AsfReader, {{}, {{u"Video", fakes::video_type(320, 240)}}, true, true});   // reads no such file
    EXPECT_TRUE(FAILED(play("clip.ogg")));
    Changes tried;
    for (const auto& line : lab.graph_changes())
        if (line.find("Splitter") != std::string::npos || line.find("AsfReader") != std::string::npos) tried.push_back(line);
    // The MPEG-I splitter is the MPEG-1 splitter's class: it refuses the file too.
    EXPECT_EQ(tried, (Changes{"+KVR Splitter", "-KVR Splitter", "+MPEG-2 Splitter", "-MPEG-2 Splitter", "+MPEG-1 Splitter",
                              "-MPEG-1 Splitter", "+MOV Splitter", "-MOV Splitter", "+WM AsfReader", "-WM AsfReader",
                              "+WM AsfReader", "-WM AsfReader", "+MPEG-I Splitter", "-MPEG-I Splitter"}));
    EXPECT_EQ(events.log.count(EVT_GRAPH_FAILED), 1u);
}
