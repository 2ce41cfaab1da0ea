#include "qtsource/tests/MossveilTesting.h"

#include "platform/com/Com.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/script/testing/ModuleTesting.h"

#include <cstring>
#include <filesystem>
#include <fstream>

using namespace mossveil_testing;

namespace {

// The module registered by strimo-regsvr in a temporary registry, COM initialised.
class RegisteredMossveil : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {MOSSVEIL_MODULE}));
    }
    void TearDown() override { CoUninitialize(); }

    static ComPtr<IBaseFilter> create()
    {
        ComPtr<IBaseFilter> filter;
        EXPECT_EQ(CoCreateInstance(CLSID_MossveilSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void()), S_OK);
        return filter;
    }
    static HRESULT load(IBaseFilter* filter, const std::string& path)
    {
        ComPtr<IFileSourceFilter> source;
        EXPECT_EQ(filter->QueryInterface(IID_IFileSourceFilter, source.put_void()), S_OK);
        return source->Load(plat::utf8_to_utf16(path).c_str(), nullptr);
    }
    static IPin* pin(IBaseFilter* filter, const WCHAR* name)
    {
        ComPtr<IPin> found;
        if (filter->FindPin(name, found.put()) != S_OK) return nullptr;
        return found.get();   // the filter keeps it
    }
    static std::u16string text_at(const std::u16string& key, const std::u16string& name)
    {
        plat::RegistryValue value;
        plat::RegistryStore::open_default(plat::Hive::ClassesRoot).read_value(key, name, value);
        return plat::registry_text(value.data);
    }

    plat::TemporaryRegistry registry;
};

}

TEST_F(RegisteredMossveil, RegistersItsClassAndFilter)
{
    const std::u16string clsid = u"{C4C557EE-276D-4009-B972-18CDAEF1A614}";
    EXPECT_EQ(text_at(u"CLSID\\" + clsid, u""), u"KVR QT source");
    EXPECT_EQ(text_at(u"CLSID\\" + clsid + u"\\InprocServer32", u"ThreadingModel"), u"Both");
    const std::u16string instance = u"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" + clsid;
    EXPECT_EQ(text_at(instance, u"FriendlyName"), u"KVR QT source");
    EXPECT_EQ(text_at(instance, u"CLSID"), clsid);
    // The mapper's layout: version 2, the merit, one pin "0pi3" that is an
    // output which may be absent or many, with one type: any stream.
    plat::RegistryValue data;
    const auto store = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    ASSERT_EQ(store.read_value(instance, u"FilterData", data), ERROR_SUCCESS);
    ASSERT_EQ(data.type, REG_BINARY);
    const auto dword_at = [&](std::size_t at) {
        DWORD value = 0;
        if (at + sizeof value <= data.data.size()) std::memcpy(&value, data.data.data() + at, sizeof value);
        return value;
    };
    EXPECT_EQ(dword_at(0), 2u);
    EXPECT_EQ(dword_at(4), 0x200000u);
    EXPECT_EQ(dword_at(8), 1u);
    ASSERT_GE(data.data.size(), 20u);
    EXPECT_EQ(std::memcmp(data.data.data() + 16, "0pi3", 4), 0);
    EXPECT_EQ(dword_at(20), 1u | 4u | 8u);
}

TEST_F(RegisteredMossveil, NamesTheLoadedFile)
{
    const ComPtr<IBaseFilter> filter = create();
    ComPtr<IFileSourceFilter> source;
    ASSERT_EQ(filter->QueryInterface(IID_IFileSourceFilter, source.put_void()), S_OK);
    EXPECT_EQ(source->GetCurFile(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(source->Load(nullptr, nullptr), E_POINTER);
    LPWSTR name = nullptr;
    ASSERT_EQ(source->GetCurFile(&name, nullptr), S_OK);
    EXPECT_EQ(name, nullptr);
    const std::string path = qt::test_movie("sound-only.mov");
    ASSERT_EQ(load(filter.get(), path), S_OK);
    ASSERT_EQ(source->GetCurFile(&name, nullptr), S_OK);
    ASSERT_NE(name, nullptr);
    EXPECT_EQ(std::u16string(name), plat::utf8_to_utf16(path));
    CoTaskMemFree(name);
}

// Run, seek while running, stop and run again, through the registered filter.
TEST_F(RegisteredMossveil, PlaysSeeksStopsAndPlaysAgain)
{
    const ComPtr<IBaseFilter> filter = create();
    ASSERT_EQ(load(filter.get(), qt::test_movie("rgb24-s16be.mov")), S_OK);
    SinkGraph g(filter.get());
    const auto video = g.sink_on(pin(filter.get(), u"Video"));
    const auto audio = g.sink_on(pin(filter.get(), u"Audio"));
    LONGLONG duration = 0;
    ASSERT_EQ(g.graph->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, 2 * UNITS);   // 88,200 frames at 44.1 kHz

    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_TRUE(video->wait_for_samples(5, 60000));
    LONGLONG start = UNITS;
    ASSERT_EQ(g.graph->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    LONG code = 0;
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    // After the seek: the frames of the second second, timed from it.
    const auto samples = video->samples();
    const int segment = samples.back().segment;
    std::size_t after = 0;
    for (const auto& s : samples) after += s.segment == segment;
    EXPECT_EQ(after, 30u);
    EXPECT_EQ(samples.back().stop, UNITS);   // the end of the movie, 1 s after the seek

    ASSERT_EQ(g.graph->Stop(), S_OK);
    video->clear();
    audio->clear();
    start = 0;
    ASSERT_EQ(g.graph->SetPositions(&start, AM_SEEKING_AbsolutePositioning, nullptr, 0), S_OK);
    ASSERT_EQ(g.graph->Run(), S_OK);
    ASSERT_EQ(g.graph->WaitForCompletion(60000, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(video->sample_count(), 60u);
    EXPECT_EQ(audio->byte_count(), 88200u * 4);
}

// A damaged or cut movie fails Load, or its streams end, with an error event
// or not; nothing crashes.
TEST_F(RegisteredMossveil, DamagedMoviesFailOrEnd)
{
    const std::string whole = qt::test_movie("rgb24-s16be.mov");
    const auto size = static_cast<std::size_t>(std::filesystem::file_size(whole));
    std::vector<char> bytes(size);
    std::ifstream(whole, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(size));
    plat::TempFolder folder;
    const struct {
        const char* name;
        std::size_t keep;
        bool scramble;
    } cases[] = {{"header only", 64, false}, {"a tenth", size / 10, false}, {"half", size / 2, false},
                 {"scrambled middle", size, true}, {"not a movie", 0, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<char> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(c.keep));
        if (c.scramble)
            for (std::size_t i = size / 3; i < size / 3 + 4096; ++i) cut[i] = static_cast<char>(i * 131);
        if (c.keep == 0) cut.assign({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'});
        const std::string path = folder / (std::string(c.name) + ".mov");
        std::ofstream(path, std::ios::binary).write(cut.data(), static_cast<std::streamsize>(cut.size()));

        const ComPtr<IBaseFilter> filter = create();
        if (FAILED(load(filter.get(), path))) continue;
        SinkGraph g(filter.get());
        std::vector<ComPtr<plat::RecordingSink>> sinks;
        for (const WCHAR* name : {u"Video", u"Audio"})
            if (IPin* p = pin(filter.get(), name)) sinks.push_back(g.sink_on(p));
        ASSERT_EQ(g.graph->Run(), S_OK);
        for (const auto& sink : sinks) EXPECT_TRUE(sink->wait_for_end(60000));
    }
}

// The tool writes the first frame as a PNG of the movie's size and all of the sound as a WAV.
TEST(MossveilDump, WritesTheFirstFrameAndTheSound)
{
    plat::TempFolder folder;
    const std::string out = folder / "dump";
    const std::string command = std::string(MOSSVEIL_DUMP) + " '" + qt::test_movie("rgb24-s16be.mov") + "' '" + out + "' >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream png(out + ".png", std::ios::binary);
    char header[24] = {};
    png.read(header, sizeof header);
    EXPECT_EQ(std::string(header + 1, 3), "PNG");
    const auto be32 = [&](int at) {
        return static_cast<unsigned char>(header[at]) << 24 | static_cast<unsigned char>(header[at + 1]) << 16 |
               static_cast<unsigned char>(header[at + 2]) << 8 | static_cast<unsigned char>(header[at + 3]);
    };
    EXPECT_EQ(be32(16), 320);
    EXPECT_EQ(be32(20), 240);
    EXPECT_EQ(std::filesystem::file_size(out + ".wav"), 44u + 88200u * 4);
}
