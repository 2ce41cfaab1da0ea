#include "ParserTesting.h"

#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/base/DebugLog.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/script/ActiveScript.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

namespace {

// The parser with the probe script, whose functions show what they received.
class ParserBridgeTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }

    void register_all() { ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {SCRIPT_MODULE, FELDANE_MODULE, PELLOW_PROBE_MODULE})); }

    plat::ComPtr<IRSSParser> create()
    {
        plat::ComPtr<IRSSParser> parser;
        EXPECT_EQ(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void()), S_OK);
        return parser;
    }

    plat::TemporaryRegistry m_registry;
};

std::string parse_title(IRSSParser* parser, const char16_t* url, ULONG count, HRESULT expect = S_OK)
{
    plat::Bstr address(url);
    plat::ComPtr<IRSSChannel> channel;
    EXPECT_EQ(parser->ParseRSS(address.get(), count, channel.put()), expect);
    return channel ? read(channel.get(), &IRSSChannel::get_title) : "<null>";
}

}

TEST_F(ParserBridgeTest, ScriptResultsOfTheWrongKindFailWithANullChannel)
{
    register_all();
    auto parser = create();
    const struct { const char16_t* url; HRESULT hr; } cases[] = {
        {u"number", E_FAIL}, {u"string", E_FAIL}, {u"nothing", E_FAIL}, {u"null", E_FAIL},
        {u"item", E_NOINTERFACE}, {u"throw", SCRIPT_E_REPORTED},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.url));
        EXPECT_EQ(parse_title(parser.get(), c.url, 1, c.hr), "<null>");
    }
    plat::Bstr object(u"object"), result(u"left alone");
    BSTR out = result.get();
    EXPECT_EQ(parser->TransformURL(object.get(), VARIANT_FALSE, &out), E_FAIL);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ParserBridgeTest, ArgumentsReachTheScriptInParameterOrder)
{
    register_all();
    ASSERT_TRUE(feed_testing::set_feed_settings(std::string("feeds.example.test:8080"), 1234));
    auto parser = create();
    EXPECT_EQ(parse_title(parser.get(), u"http://a/feed", 50), "http://a/feed|50|number");

    plat::Bstr keyword(u"a+b%C3%A9"), site(u"Vazir EZO");
    plat::ComPtr<IRSSChannel> channel;
    ASSERT_EQ(parser->RSSSearch(keyword.get(), site.get(), 25, channel.put()), S_OK);
    EXPECT_EQ(read(channel.get(), &IRSSChannel::get_title), "a+b%C3%A9|Vazir EZO|25");

    const struct { VARIANT_BOOL hd; const char* expected; } transforms[] = {
        {VARIANT_TRUE, "u|-1|feeds.example.test:8080|1234"}, {VARIANT_FALSE, "u|0|feeds.example.test:8080|1234"}};
    for (const auto& t : transforms) {
        plat::Bstr url(u"u"), result;
        ASSERT_EQ(parser->TransformURL(url.get(), t.hd, result.out()), S_OK);
        EXPECT_EQ(result.utf8(), t.expected);
    }

    plat::Bstr video(u"http://www.example.com/watch?v=x");
    ASSERT_EQ(parser->GetRelatedVideo(video.get(), channel.put()), S_OK);
    EXPECT_EQ(read(channel.get(), &IRSSChannel::get_title), "related to http://www.example.com/watch?v=x");
}

TEST_F(ParserBridgeTest, AFetchTimeOutOutsideItsRangeIsTheDefault)
{
    register_all();
    const struct { DWORD stored; const char* expected; } cases[] = {
        {0, "u|0|h:1|30000"}, {99, "u|0|h:1|30000"}, {100, "u|0|h:1|100"},
        {600000, "u|0|h:1|600000"}, {600001, "u|0|h:1|30000"}, {0xFFFFFFFF, "u|0|h:1|30000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        ASSERT_TRUE(feed_testing::set_feed_settings(std::string("h:1"), c.stored));
        auto parser = create();
        plat::Bstr url(u"u"), result;
        ASSERT_EQ(parser->TransformURL(url.get(), VARIANT_FALSE, result.out()), S_OK);
        EXPECT_EQ(result.utf8(), c.expected);
    }
}

TEST_F(ParserBridgeTest, MissingOutPointersFailEveryMethod)
{
    register_all();
    auto parser = create();
    plat::Bstr url(u"u"), site(u"Vazir EZO");
    EXPECT_EQ(parser->ParseRSS(url.get(), 1, nullptr), E_FAIL);
    EXPECT_EQ(parser->RSSSearch(url.get(), site.get(), 1, nullptr), E_FAIL);
    EXPECT_EQ(parser->TransformURL(url.get(), VARIANT_FALSE, nullptr), E_FAIL);
    EXPECT_EQ(parser->GetRelatedVideo(url.get(), nullptr), E_FAIL);
}

TEST_F(ParserBridgeTest, WithoutTheScriptHostEveryMethodFails)
{
    ASSERT_TRUE(plat::register_modules(STRIMO_REGSVR, {PELLOW_PROBE_MODULE}));
    auto parser = create();
    ASSERT_TRUE(parser) << "the parser object is made all the same";
    plat::Bstr url(u"u"), site(u"Vazir EZO"), result;
    plat::ComPtr<IRSSChannel> channel;
    EXPECT_EQ(parser->ParseRSS(url.get(), 1, channel.put()), E_FAIL);
    EXPECT_EQ(parser->RSSSearch(url.get(), site.get(), 1, channel.put()), E_FAIL);
    EXPECT_EQ(parser->TransformURL(url.get(), VARIANT_FALSE, result.out()), E_FAIL);
    EXPECT_EQ(parser->GetRelatedVideo(url.get(), channel.put()), E_FAIL);
    EXPECT_FALSE(channel);
}

TEST_F(ParserBridgeTest, DebugModeFollowsFeldane)
{
    register_all();
    const struct { std::optional<std::string> value; bool debug; } cases[] = {
        {"true", true}, {"True", true}, {"false", false}, {"yes", false}, {std::nullopt, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value.value_or("<unset>"));
        plat::ScopedEnvironment feldane("FELDANE", c.value ? c.value->c_str() : nullptr);
        plat::DebugCapture capture;
        auto parser = create();
        EXPECT_EQ(capture.contains("script debug: session started for Pellow"), c.debug);
        EXPECT_EQ(parse_title(parser.get(), u"u", 2), "u|2|number") << "the script runs either way";
    }
}
