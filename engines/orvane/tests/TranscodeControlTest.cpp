#include "engines/orvane/CTranscodeControl.h"
#include "engines/mediagraph/CAVBase.h"
#include "engines/mediagraph/SplitterChoice.h"
#include "engines/mediagraph/testing/EventLog.h"
#include "engines/mediagraph/testing/FakeFilters.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <cstring>
#include <fstream>
#include <gtest/gtest.h>

using namespace mediagraph;
using Changes = std::vector<std::string>;

namespace {

class TranscodeControl : public testing::Test {
protected:
    void SetUp() override
    {
        fakes::define_working_filters(lab);
        engine.AddListener(&events);
    }
    void TearDown() override { engine.SendCommand(CMD_REMOVE_LISTENER, &events, nullptr, 0); }

    // A small file of that name: the file source only has to open it.
    std::u16string file(const std::string& name)
    {
        const std::string path = folder / name;
        std::ofstream(path) << "not a real clip";
        return plat::utf8_to_utf16(path);
    }

    LONG send(LONG code, const std::u16string& text) { return engine.SendCommand(code, const_cast<char16_t*>(text.c_str()), nullptr, 0); }
    LONG send(LONG code, void* data = nullptr) { return engine.SendCommand(code, data, nullptr, 0); }

    LONG start(const std::string& name)
    {
        send(CMD_SOURCE, file(name));
        send(CMD_OUTPUT, plat::utf8_to_utf16(folder / "out.mp4"));
        return send(CMD_RUN);
    }

    plat::TemporaryRegistry registry;
    plat::TempFolder folder;
    fakes::Lab lab;
    fakes::EventLog events;
    CTranscodeControl engine{lab.maker(), 60000};   // last: gone before the fakes' lab
};

}

TEST_F(TranscodeControl, TheEngineAnswersEveryCommandOfItsTable)
{
    EXPECT_EQ(engine.GetType(), 7);
    EXPECT_EQ(engine.GetVersion(), std::make_pair(LONG{17}, LONG{0}));
    LONG version[2] = {0, 0};
    EXPECT_EQ(send(CMD_GET_VERSION, version), 1);
    EXPECT_EQ(version[0], 17);
    EXPECT_EQ(send(CMD_RUN), -1);   // no source yet
    EXPECT_TRUE(lab.entries().empty());

    LONG value = -1;
    const struct {
        LONG code;
        LONG in;
        LONG result;
    } commands[] = {
        {CMD_INIT, 0, 1},           {CMD_SET_VOLUME, 50, -1},   // no graph has a volume yet
        {CMD_GET_PLAY_STATE, 0, 1}, {CMD_GET_MEDIA_KIND, 0, 1}, {4101, 0, 1}, {4111, 0, 1}, {CMD_OUTPUT_SETTINGS, 0, -1},
    };
    for (const auto& c : commands) {
        SCOPED_TRACE(c.code);
        value = c.in;
        EXPECT_EQ(send(c.code, c.code == CMD_OUTPUT_SETTINGS ? nullptr : &value), c.result);
    }
    EXPECT_EQ(send(CMD_GET_PLAY_STATE, &value), 1);
    EXPECT_EQ(value, PLAY_STATE_NONE);
}

TEST_F(TranscodeControl, TheChainReplacesRenderersByEncodersAndEndsInTheMultiplexer)
{
    tOutputSettings settings{};
    std::memcpy(settings.settings, "\x10\x20\x30\x40", 4);
    settings.text = "device";
    LONG size = sizeof settings;
    EXPECT_EQ(engine.SendCommand(CMD_OUTPUT_SETTINGS, &settings, &size, 0), 1);
    // Longer than the 260 characters a fixed buffer held: kept whole.
    const std::string long_name = folder / (std::string(300, 'n') + ".mp4");
    EXPECT_EQ(send(CMD_SOURCE, file("clip.flv")), 1);
    EXPECT_EQ(send(CMD_OUTPUT, plat::utf8_to_utf16(long_name)), 1);
    EXPECT_EQ(send(CMD_OUTPUT, std::u16string()), 1);   // empty: the path stays
    ASSERT_EQ(send(CMD_RUN), 1);
    EXPECT_EQ(lab.graph_changes(),
              (Changes{"+KVR Splitter", "+Flash Decoder", "+KVR Video Encoder Filter", "+KVR Audio Decoder", "+KVR Audio Encoder Filter",
                       "+KVR Multiplexer Filter"}));
    EXPECT_EQ(lab.told("KVR Multiplexer Filter file"), long_name);
    for (const char* filter : {"KVR Video Encoder Filter", "KVR Audio Encoder Filter", "KVR Multiplexer Filter"})
        EXPECT_EQ(lab.told(std::string(filter) + " settings"), "\x10\x20\x30\x40" "device") << filter;
    LONG kind = 0, state = 0;
    EXPECT_EQ(send(CMD_GET_MEDIA_KIND, &kind), 1);
    EXPECT_EQ(kind, KIND_KVR);
    EXPECT_EQ(send(CMD_GET_PLAY_STATE, &state), 1);
    EXPECT_EQ(state, PLAY_STATE_RUNNING);
    EXPECT_EQ(send(CMD_STOP), 1);
    EXPECT_EQ(send(CMD_CLOSE), 1);
    EXPECT_EQ(send(CMD_RUN), -1);   // the source went with the graph
}

TEST_F(TranscodeControl, TheAsfReaderFeedsTheVideoEncoderWithoutADecoder)
{
    lab.define(AsfReader, {{}, {{u"Video", fakes::video_type(320, 240)}, {u"Audio", fakes::audio_type()}}, true});
    ASSERT_EQ(start("clip.wmv"), 1);
    EXPECT_EQ(lab.graph_changes(),
              (Changes{"+WM AsfReader", "+KVR Video Encoder Filter", "+KVR Audio Decoder", "+KVR Audio Encoder Filter",
                       "+KVR Multiplexer Filter"}));
    EXPECT_NE(lab.told("WM AsfReader loaded").find("clip.wmv"), std::string::npos);
    LONG kind = 0;
    send(CMD_GET_MEDIA_KIND, &kind);
    EXPECT_EQ(kind, KIND_ASF_VIDEO);
}

TEST_F(TranscodeControl, AMultiplexerThatCannotTakeBothStreamsFailsTheRun)
{
    lab.define(Multiplexer, {{{u"Audio Input", MEDIATYPE_Audio}}, {}});
    EXPECT_EQ(start("clip.mkv"), -1);
    const Changes changes = lab.graph_changes();
    EXPECT_NE(std::find(changes.begin(), changes.end(), "-KVR Multiplexer Filter"), changes.end());
    EXPECT_EQ(changes.back().front(), '-');   // everything left the graph
    EXPECT_EQ(events.count(EVT_GRAPH_FAILED), 1u);
}

TEST_F(TranscodeControl, QueuedCommandsCarryWholeTextsOnly)
{
    std::u16string source = file("clip.flv");
    EXPECT_EQ(engine.SendCommand(CMD_SOURCE, source.data(), nullptr, CONTROL_ASYNC), 0);   // a 32-bit copy is no path
    LONG bytes = static_cast<LONG>((source.size() + 1) * sizeof(char16_t));
    EXPECT_EQ(engine.SendCommand(CMD_SOURCE, source.data(), &bytes, CONTROL_ASYNC | CONTROL_COPY_LENGTH), 1);
    // A length that leaves the terminator out: the copy still ends where the text does.
    std::u16string out = plat::utf8_to_utf16(folder / "out.mp4");
    bytes = static_cast<LONG>(out.size() * sizeof(char16_t));
    EXPECT_EQ(engine.SendCommand(CMD_OUTPUT, out.data(), &bytes, CONTROL_ASYNC | CONTROL_COPY_LENGTH), 1);
    EXPECT_EQ(engine.SendCommand(CMD_RUN, nullptr, nullptr, CONTROL_ASYNC), 1);
    EXPECT_TRUE(events.wait_for_any({EVT_RUNNING}, 10000));
    EXPECT_EQ(lab.told("KVR Multiplexer Filter file"), folder / "out.mp4");
}
