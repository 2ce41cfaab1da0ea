#include "outside/filters/LavfSplitter.h"
#include "outside/filters/PassThroughDmo.h"
#include "outside/filters/testing/FilterTesting.h"
#include "platform/base/Utf.h"
#include "platform/dshow/AsyncFileSource.h"
#include "platform/dshow/FilterGraph.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/dshow/RecordingSink.h"
#include "platform/fs/testing/TempFolder.h"

#include <cstdlib>
#include <cstring>
#include <vector>

using plat::ComPtr;

namespace {

constexpr REFERENCE_TIME second = 10000000;

CMediaType pcm(WORD channels, WORD bits, DWORD rate)
{
    CMediaType type(MEDIATYPE_Audio);
    type.SetSubtype(&MEDIASUBTYPE_PCM);
    type.SetFormatType(&FORMAT_WaveFormatEx);
    auto* f = reinterpret_cast<WAVEFORMATEX*>(type.AllocFormatBuffer(sizeof(WAVEFORMATEX)));
    const WORD align = WORD(channels * bits / 8);
    *f = {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
    return type;
}

// Stereo 16-bit frames whose left sample is first + i and right is -(first + i).
std::vector<BYTE> frames(int first, int count)
{
    std::vector<std::int16_t> s;
    for (int i = 0; i < count; ++i) {
        s.push_back(std::int16_t(first + i));
        s.push_back(std::int16_t(-(first + i)));
    }
    std::vector<BYTE> bytes(s.size() * 2);
    std::memcpy(bytes.data(), s.data(), bytes.size());
    return bytes;
}

class PassThrough : public RegisteredFilters {
protected:
    void SetUp() override
    {
        RegisteredFilters::SetUp();
        ASSERT_EQ(CoCreateInstance(filters::CLSID_CorvaPassThroughDmo, nullptr, CLSCTX_INPROC_SERVER, IID_IMediaObject,
                                   dmo.put_void()),
                  S_OK);
        in_place = dmo.as<IMediaObjectInPlace>();
        reader = dmo.as<ISampleReader>();
        ASSERT_TRUE(in_place && reader);
    }
    void process(std::vector<BYTE> bytes, REFERENCE_TIME at)
    {
        ASSERT_EQ(in_place->Process(ULONG(bytes.size()), bytes.data(), at, 0), S_OK);
    }
    // The left samples of what a read gives; empty when nothing came.
    std::vector<int> read_left(REFERENCE_TIME at, LONG size, LONG* got = nullptr)
    {
        std::vector<BYTE> buffer(std::size_t(std::max<LONG>(size, 0)) + 4, 0xEE);
        const LONG n = reader->Read(at, buffer.data(), size);
        if (got) *got = n;
        std::vector<int> left;
        for (LONG i = 0; i + 3 < n; i += 4) {
            std::int16_t s;
            std::memcpy(&s, &buffer[std::size_t(i)], 2);
            left.push_back(s);
        }
        EXPECT_EQ(buffer[std::size_t(std::max<LONG>(size, 0))], 0xEE) << "wrote past the size asked";
        return left;
    }

    ComPtr<IMediaObject> dmo;
    ComPtr<IMediaObjectInPlace> in_place;
    ComPtr<ISampleReader> reader;
};

}

TEST_F(PassThrough, ReadsAreTimestampedWholeFramesAndShortAtTheEnd)
{
    const CMediaType type = pcm(2, 16, 1000);
    ASSERT_EQ(dmo->SetInputType(0, &type, 0), S_OK);
    ASSERT_EQ(dmo->SetOutputType(0, &type, 0), S_OK);
    process(frames(0, 500), 0);
    process(frames(500, 500), second / 2);   // follows on: one ring
    const struct {
        REFERENCE_TIME at;
        LONG size;
        LONG bytes;
        int first;
    } cases[] = {
        {0, 40, 40, 0},                 {second / 4, 40, 40, 250}, {second / 2, 8, 8, 500},
        {second - second / 100, 400, 40, 990},   // ten frames left
        {second, 40, 0, 0},             {-1, 40, 0, 0},            {0, 10, 8, 0},   // whole frames only
        {0, 3, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.at);
        LONG got = -1;
        const std::vector<int> left = read_left(c.at, c.size, &got);
        EXPECT_EQ(got, c.bytes);
        if (!left.empty()) {
            EXPECT_EQ(left.front(), c.first);
        }
    }
    // The process left the sound as it was.
    std::vector<BYTE> bytes = frames(1000, 4);
    const std::vector<BYTE> before = bytes;
    ASSERT_EQ(in_place->Process(ULONG(bytes.size()), bytes.data(), second, 0), S_OK);
    EXPECT_EQ(bytes, before);
}

TEST_F(PassThrough, AJumpStartsTheRingAgainAndOnlyTwoSecondsAreKept)
{
    const CMediaType type = pcm(2, 16, 1000);
    ASSERT_EQ(dmo->SetInputType(0, &type, 0), S_OK);
    process(frames(0, 100), 0);
    process(frames(7000, 100), 7 * second);   // a seek
    EXPECT_TRUE(read_left(0, 40).empty());
    EXPECT_EQ(read_left(7 * second, 4), std::vector<int>{7000});
    process(frames(7100, 3000), 7 * second + second / 10);
    EXPECT_TRUE(read_left(7 * second, 4).empty()) << "older than two seconds";
    EXPECT_EQ(read_left(8 * second + second / 10, 4), std::vector<int>{7100 + 1000});
}

TEST_F(PassThrough, OtherLayoutsComeOutAsSixteenBitStereo)
{
    const CMediaType mono8 = pcm(1, 8, 1000);
    ASSERT_EQ(dmo->SetInputType(0, &mono8, 0), S_OK);
    std::vector<BYTE> bytes = {128, 129, 127, 255};
    process(bytes, 0);
    std::vector<BYTE> out(16);
    ASSERT_EQ(reader->Read(0, out.data(), 16), 16);
    std::vector<std::int16_t> s(8);
    std::memcpy(s.data(), out.data(), 16);
    EXPECT_EQ(s, (std::vector<std::int16_t>{0, 0, 256, 256, -256, -256, 127 * 256, 127 * 256}));

    const struct {
        CMediaType type;
        HRESULT result;
    } types[] = {{pcm(6, 16, 48000), S_OK}, {pcm(2, 24, 48000), DMO_E_TYPE_NOT_ACCEPTED},
                 {CMediaType(MEDIATYPE_Video), DMO_E_TYPE_NOT_ACCEPTED}};
    for (const auto& t : types) EXPECT_EQ(dmo->SetInputType(0, &t.type, DMO_SET_TYPEF_TEST_ONLY), t.result);
    EXPECT_EQ(dmo->SetInputType(1, &mono8, 0), DMO_E_INVALIDSTREAMINDEX);
}

TEST_F(PassThrough, TheWrapperFilterPassesTheSoundAndAnswersForItsDmo)
{
    plat::TempFolder folder;
    const std::string path = folder / "tone.wav";
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 "
                                "-ac 2 -c:a pcm_s16le '" + path + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const ComPtr<IBaseFilter> wrapper = create(CLSID_DMOWrapperFilter);
    const ComPtr<IDMOWrapperFilter> init = wrapper.as<IDMOWrapperFilter>();
    ASSERT_TRUE(init);
    EXPECT_FALSE(wrapper.as<ISampleReader>()) << "no DMO yet";
    EXPECT_TRUE(FAILED(init->Init(filters::CLSID_WaveParser, filters::DMOCATEGORY_CorvaPassThrough)))
        << "not a DMO";
    ASSERT_EQ(init->Init(filters::CLSID_CorvaPassThroughDmo, filters::DMOCATEGORY_CorvaPassThrough), S_OK);
    const ComPtr<ISampleReader> samples = wrapper.as<ISampleReader>();
    ASSERT_TRUE(samples);

    const ComPtr<plat::FilterGraph> graph(new plat::FilterGraph());
    const ComPtr<plat::AsyncFileSource> source(new plat::AsyncFileSource());
    ASSERT_EQ(source->Load(plat::utf8_to_utf16(path).c_str(), nullptr), S_OK);
    const ComPtr<IBaseFilter> parser = create(filters::CLSID_WaveParser);
    const ComPtr<plat::RecordingSink> sink(new plat::RecordingSink());
    graph->AddFilter(source.get(), u"File Source");
    graph->AddFilter(parser.get(), u"Wave Parser");
    graph->AddFilter(wrapper.get(), u"Corva PassThrough DMO");
    graph->AddFilter(sink.get(), u"Sink");
    ASSERT_EQ(graph->ConnectDirect(source->GetPin(0), pin(parser.get(), PINDIR_INPUT), nullptr), S_OK);
    ASSERT_EQ(graph->ConnectDirect(pin(parser.get(), PINDIR_OUTPUT), pin(wrapper.get(), PINDIR_INPUT), nullptr), S_OK);
    EXPECT_EQ(init->Init(filters::CLSID_CorvaPassThroughDmo, filters::DMOCATEGORY_CorvaPassThrough),
              VFW_E_ALREADY_CONNECTED);
    ASSERT_EQ(graph->ConnectDirect(pin(wrapper.get(), PINDIR_OUTPUT), sink->input(), nullptr), S_OK);
    ASSERT_EQ(graph->Run(), S_OK);
    LONG code = 0;
    ASSERT_EQ(graph->WaitForCompletion(60000, &code), S_OK);
    graph->Stop();
    EXPECT_EQ(sink->byte_count(), 44100u * 4);
    std::vector<BYTE> buffer(8192);
    EXPECT_EQ(samples->Read(second / 2, buffer.data(), 8192), 8192);
    EXPECT_EQ(samples->Read(2 * second, buffer.data(), 8192), 0);
}
