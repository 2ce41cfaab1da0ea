// The registered splitter: its COM registration and creation, the probe
// order over every fixture of the splitter tests, and failed probes.

#include "splitter/quandrel/Quandrel.h"

#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/dshow/MediaFormats.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/script/testing/ModuleTesting.h"
#include "splitter/base/testing/ParserTesting.h"
#include "splitter/flv/FlashParser.h"
#include "splitter/matroska/MatroskaParser.h"
#include "splitter/mp4/MP4Parser.h"
#include "splitter/mpeg4/MPEG4VideoParser.h"
#include "splitter/quandrel/QuandrelSetup.h"
#include "splitter/realmedia/RMParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <typeinfo>

using namespace splitter_testing;

namespace {

DWORD dword_at(const std::vector<BYTE>& b, std::size_t at)
{
    DWORD v = 0;
    std::memcpy(&v, b.data() + at, sizeof v);
    return v;
}

std::u16string read_text(const plat::RegistryStore& store, std::u16string_view key, std::u16string_view name)
{
    plat::RegistryValue value;
    if (store.read_value(key, name, value) != ERROR_SUCCESS) return {};
    return plat::registry_text(value.data);
}

// A parser that adds a pin, then refuses the source.
class PinThenFail final : public CBaseParser {
public:
    using CBaseParser::CBaseParser;
    HRESULT Open(IAsyncReader*) override
    {
        std::vector<CMediaType> types(1, CMediaType(MEDIATYPE_Video));
        HRESULT hr = S_OK;
        m_pFilter->AddOutputPin(77, std::make_unique<CBaseSplitterOutputPin>(std::move(types), u"Stale", m_pFilter,
                                                                             m_pFilter->FilterLock(), &hr));
        return E_FAIL;
    }
};

}

TEST(Quandrel, RegisteredAndCreatedByClassId)
{
    plat::TemporaryRegistry registry;
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {QUANDREL_MODULE}));
    {
        plat::ComPtr<IBaseFilter> filter;
        ASSERT_EQ(CoCreateInstance(CLSID_QuandrelSplitter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void()),
                  S_OK);
        plat::ComPtr<IMediaSeeking> seeking;
        EXPECT_EQ(filter->QueryInterface(IID_IMediaSeeking, seeking.put_void()), S_OK);
        plat::ComPtr<IKsPropertySet> properties;
        EXPECT_EQ(filter->QueryInterface(IID_IKsPropertySet, properties.put_void()), S_OK);
    }
    const plat::RegistryStore store = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    const std::u16string clsid = plat::format_guid_utf16(CLSID_QuandrelSplitter);
    EXPECT_EQ(read_text(store, u"CLSID\\" + clsid, u""), u"KVR splitter");
    EXPECT_EQ(read_text(store, u"CLSID\\" + clsid + u"\\InprocServer32", u"ThreadingModel"), u"Both");

    const std::u16string instance = u"CLSID\\{083863F1-70DE-11D0-BD40-00A0C911CE86}\\Instance\\" + clsid;
    EXPECT_EQ(read_text(store, instance, u"FriendlyName"), u"KVR Splitter");
    EXPECT_EQ(read_text(store, instance, u"CLSID"), clsid);
    plat::RegistryValue data;
    ASSERT_EQ(store.read_value(instance, u"FilterData", data), ERROR_SUCCESS);
    ASSERT_EQ(data.type, REG_BINARY);
    EXPECT_EQ(data.data, plat::filter_data(quandrel::filter_setup));
    const std::vector<BYTE>& b = data.data;
    EXPECT_EQ(dword_at(b, 0), 2u);
    EXPECT_EQ(dword_at(b, 4), 0x00060000u);
    EXPECT_EQ(dword_at(b, 8), 3u);
    // The input pin: flags 0, one instance, three types; the first type's minor is the FLV stream.
    EXPECT_EQ(std::memcmp(b.data() + 16, "0pi3", 4), 0);
    EXPECT_EQ(dword_at(b, 20), 0u);
    EXPECT_EQ(dword_at(b, 28), 3u);
    EXPECT_EQ(std::memcmp(b.data() + 40, "0ty3", 4), 0);
    GUID minor{};
    std::memcpy(&minor, b.data() + dword_at(b, 52), sizeof minor);
    EXPECT_EQ(minor, MEDIASUBTYPE_FlvStream);
    // The audio output: may be absent, an output.
    const std::size_t audio = 40 + 3 * 16;
    EXPECT_EQ(std::memcmp(b.data() + audio, "1pi3", 4), 0);
    EXPECT_EQ(dword_at(b, audio + 4), 1u | 8u);

    const std::string command = std::string("'") + STRIMO_REGSVR + "' -u '" + QUANDREL_MODULE + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(store.find_key(instance), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.find_key(u"CLSID\\" + clsid), ERROR_FILE_NOT_FOUND);
    CoUninitialize();
}

TEST(Quandrel, EveryFixtureFindsItsParser)
{
    const struct {
        const char* file;
        const std::type_info* parser;   // null: every parser refuses it
    } cases[] = {
        {"h263-mp3.flv", &typeid(CFlashParser)},      {"h264-aac.flv", &typeid(CFlashParser)},
        {"h264-big-keys.flv", &typeid(CFlashParser)}, {"h263-200x100.flv", &typeid(CFlashParser)},
        {"h264-vorbis-srt.mkv", &typeid(CMatroskaParser)}, {"mpeg4-mp3.mkv", &typeid(CMatroskaParser)},
        {"dirac.mkv", &typeid(CMatroskaParser)},      {"piped.mkv", &typeid(CMatroskaParser)},
        {"laced.mkv", &typeid(CMatroskaParser)},      {"zlib.mkv", &typeid(CMatroskaParser)},
        {"no-cues.mkv", &typeid(CMatroskaParser)},    {"rv10.rm", &typeid(CRMParser)},
        {"rv20-ac3.rm", &typeid(CRMParser)},          {"real144.rm", nullptr},
        {"h264-aac.mp4", &typeid(CMP4Parser)},        {"mpeg4-mp3.mp4", &typeid(CMP4Parser)},
        {"mpeg2-aac.mp4", &typeid(CMP4Parser)},       {"mpeg1-mp2.mp4", &typeid(CMP4Parser)},
        {"text-chapters.mp4", &typeid(CMP4Parser)},   {"h264-aac.mov", &typeid(CMP4Parser)},
        // Raw MPEG-4 video is tried only after the four container parsers refused it.
        {"plain.m4v", &typeid(CMPEG4VideoParser)},    {"rate10.m4v", &typeid(CMPEG4VideoParser)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SplitterGraph g;
        auto* quandrel = new CQuandrel();
        if (!c.parser) {
            // The RealAudio 1 test file offers no type the RealMedia parser knows.
            EXPECT_EQ(g.open(test_media(c.file), quandrel), E_FAIL);
            EXPECT_EQ(quandrel->CurrentParser(), nullptr);
            continue;
        }
        ASSERT_EQ(g.open(test_media(c.file), quandrel), S_OK);
        ASSERT_NE(quandrel->CurrentParser(), nullptr);
        const CBaseParser& parser = *quandrel->CurrentParser();
        EXPECT_EQ(typeid(parser), *c.parser);
        EXPECT_GT(g.splitter->GetPinCount(), 1);
        LONGLONG duration = 0;
        EXPECT_EQ(g.splitter->GetDuration(&duration), S_OK);
        EXPECT_EQ(duration, quandrel->CurrentParser()->GetDuration());
    }
}

TEST(Quandrel, FileThatStartsWithFlvGoesToTheFlvParser)
{
    plat::TempFolder dir;
    // An FLV file with a Matroska file behind it: still FLV.
    const Bytes bytes = read_file(test_media("h263-mp3.flv")) + read_file(test_media("mpeg4-mp3.mkv"));
    SplitterGraph g;
    auto* quandrel = new CQuandrel();
    ASSERT_EQ(g.open(write_file(dir, "both.flv", bytes), quandrel), S_OK);
    const CBaseParser& parser = *quandrel->CurrentParser();
    EXPECT_EQ(typeid(parser), typeid(CFlashParser));
}

TEST(Quandrel, DurationOfTheParserEvenWhenStreamingWasSetBeforehand)
{
    SplitterGraph g;
    auto* quandrel = new CQuandrel();
    g.splitter = plat::ComPtr<CBaseSplitterFilter>(quandrel);
    DWORD streaming = 1;
    quandrel->Set(GUID_NULL, 0, &streaming, sizeof streaming, nullptr, 0);
    ASSERT_EQ(g.open(test_media("mpeg4-mp3.mp4"), quandrel), S_OK);
    LONGLONG duration = 0;
    ASSERT_EQ(quandrel->GetDuration(&duration), S_OK);
    EXPECT_EQ(duration, quandrel->CurrentParser()->GetDuration());
    EXPECT_GT(duration, 0);
}

TEST(Quandrel, RefusedSourcesAndFailedProbes)
{
    plat::TempFolder dir;
    {
        SCOPED_TRACE("garbage");
        SplitterGraph g;
        auto* quandrel = new CQuandrel();
        EXPECT_EQ(g.open(write_file(dir, "garbage", Bytes(5000, 0x5A)), quandrel), E_FAIL);
        EXPECT_EQ(quandrel->CurrentParser(), nullptr);
        EXPECT_EQ(g.splitter->GetPinCount(), 1);
    }
    {
        SCOPED_TRACE("out of memory");
        SplitterGraph g;
        auto* quandrel = new CQuandrel({[](CBaseSplitterFilter*) -> std::unique_ptr<CBaseParser> { throw std::bad_alloc(); }});
        EXPECT_EQ(g.open(test_media("h264-aac.mp4"), quandrel), E_OUTOFMEMORY);
    }
    {
        SCOPED_TRACE("a refusing parser leaves no pins");
        SplitterGraph g;
        auto* quandrel = new CQuandrel({[](CBaseSplitterFilter* f) { return std::make_unique<PinThenFail>(f); },
                                        [](CBaseSplitterFilter* f) { return std::make_unique<CMP4Parser>(f); }});
        ASSERT_EQ(g.open(test_media("h264-aac.mp4"), quandrel), S_OK);
        EXPECT_EQ(g.splitter->GetPinCount(), 3);
        EXPECT_EQ(quandrel->GetOutputPin(77), nullptr);
        EXPECT_TRUE(g.run_to_end());
    }
}
