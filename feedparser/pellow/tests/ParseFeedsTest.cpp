#include "FeedFixtures.h"
#include "ParserTesting.h"

#include "feedparser/pellow/testing/FeedSite.h"
#include "platform/base/DebugLog.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/script/ActiveScript.h"
#include "platform/script/testing/ModuleTesting.h"

#include <gtest/gtest.h>

#include <functional>
#include <span>
#include <thread>
#include <vector>

namespace {

struct FeedCase;

// The real parser script against feeds served on 127.0.0.1.
class ParseFeedsTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitialize(nullptr), S_OK);
        ASSERT_TRUE(m_modules.registered());
        // Generous: a loaded machine must not turn a fetch into a time-out.
        ASSERT_TRUE(feed_testing::set_feed_settings(m_server.host(), 60000));
        m_server.serve("/ordinary", ordinary_feed());
        m_server.serve("/empty", "<rss version=\"2.0\"><channel><title>Nothing yet</title></channel></rss>");
        m_server.serve("/many", generated_feed(200));
        m_server.serve("/entities", entities_feed());
        m_server.serve("/broken", ordinary_feed().substr(0, 900));
        m_server.serve("/mismatched", "<rss version=\"2.0\"><channel><item><title>a</b></item></channel></rss>");
        m_server.serve("/mismatched-cut", "<rss version=\"2.0\"><channel><item><title>a</b></item></channel></rss");
        m_server.serve("/html", "<html><head><title>a page</title></head><body></body></html>", "text/html");
        m_server.stall("/slow");
        m_server.serve("/feeds/base/videos", ordinary_feed());
        m_server.serve("/feeds/base/videos/abc_123/related", ordinary_feed());
        ASSERT_EQ(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, m_parser.put_void()), S_OK);
    }
    void TearDown() override
    {
        m_parser.reset();
        CoUninitialize();
    }

    HRESULT parse(const std::string& url, ULONG count, plat::ComPtr<IRSSChannel>& channel)
    {
        plat::Bstr address = plat::Bstr::from_utf8(url);
        return m_parser->ParseRSS(address.get(), count, channel.put());
    }

    // Serves each case's feed and checks the field it names.
    void expect_fields(std::span<const FeedCase> cases);

    static std::vector<plat::ComPtr<IRSSItem>> items_of(IRSSChannel* channel)
    {
        LONG size = 0;
        channel->GetRSSItemSize(&size);
        std::vector<plat::ComPtr<IRSSItem>> items(static_cast<std::size_t>(size));
        for (LONG i = 0; i < size; ++i)
            channel->GetRSSItem(i, items[static_cast<std::size_t>(i)].put());
        return items;
    }

    feed_testing::ParserModules m_modules;
    feed_testing::FeedSite m_server;
    plat::ComPtr<IRSSParser> m_parser;
};

}

TEST_F(ParseFeedsTest, AnOrdinaryFeedFillsTheChannelAndItsItems)
{
    plat::ComPtr<IRSSChannel> channel;
    ASSERT_EQ(parse(m_server.url("/ordinary"), 50, channel), S_OK);
    IRSSChannel* c = channel.get();
    EXPECT_EQ(read(c, &IRSSChannel::get_title), "Most Viewed");
    EXPECT_EQ(read(c, &IRSSChannel::get_link), "http://www.example.com/browse");
    EXPECT_EQ(read(c, &IRSSChannel::get_description), "Today's most viewed videos");
    EXPECT_EQ(read(c, &IRSSChannel::get_language), "en-us");
    EXPECT_EQ(read(c, &IRSSChannel::get_category_domain), "http://example.com/cat");
    EXPECT_EQ(read(c, &IRSSChannel::get_image_url), "http://img.example.com/logo.gif");
    EXPECT_EQ(read(c, &IRSSChannel::get_image_width), "100");
    EXPECT_EQ(read(c, &IRSSChannel::get_ttl), "60");

    auto items = items_of(c);
    ASSERT_EQ(items.size(), 2u);
    IRSSItem* first = items[0].get();
    const struct { HRESULT (IRSSItem::*get)(BSTR*); const char* expected; } fields[] = {
        {&IRSSItem::get_title, "First video"},
        {&IRSSItem::get_link, "http://www.example.com/watch?v=abc123"},
        {&IRSSItem::get_guid, "tag:example.com,2008:video:abc123"},
        {&IRSSItem::get_guid_isPermaLink, "false"},
        {&IRSSItem::get_pubDate, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {&IRSSItem::get_author, "someone"},
        {&IRSSItem::get_category, "music"},
        {&IRSSItem::get_category_domain, "http://example.com/tags"},
        {&IRSSItem::get_comments, "http://www.example.com/comments?v=abc123"},
        {&IRSSItem::get_enclosure_url, "http://www.example.com/v/abc123.flv"},
        {&IRSSItem::get_enclosure_length, "1234"},
        {&IRSSItem::get_media_content_url, "http://www.example.com/v/abc123"},
        {&IRSSItem::get_media_content_type, "application/x-shockwave-flash"},
        {&IRSSItem::get_media_content_duration, "205"},
        {&IRSSItem::get_media_content_isDefault, "true"},
        {&IRSSItem::get_media_thumbnail_url, "http://img.example.com/vi/abc123/default.jpg"},
        {&IRSSItem::get_media_thumbnail_width, "130"},
        {&IRSSItem::get_media_thumbnail_time, "00:01:42"},
        {&IRSSItem::get_media_title, "First video"},
        {&IRSSItem::get_media_title_type, "plain"},
        {&IRSSItem::get_media_description, "A concert recording"},
        {&IRSSItem::get_media_keywords, "live, guitar"},
        {&IRSSItem::get_media_category, "Music"},
        {&IRSSItem::get_media_category_label, "Music"},
        {&IRSSItem::get_media_player, "http://www.example.com/watch?v=abc123"},
        {&IRSSItem::get_media_credit, "someone"},
        {&IRSSItem::get_media_credit_role, "uploader"},
        {&IRSSItem::get_media_rating_scheme, "urn:simple"},
        {&IRSSItem::get_media_restriction_relationship, "deny"},
        {&IRSSItem::get_original_description, "<b>Loud</b> guitars"},
    };
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        SCOPED_TRACE(fields[i].expected);
        EXPECT_EQ(read(first, fields[i].get), fields[i].expected);
    }
    // What the item list shows: the thumbnail picture and the length after "Time:".
    const std::string shown = read(first, &IRSSItem::get_display_description);
    EXPECT_NE(shown.find("<img src=\"http://img.example.com/vi/abc123/default.jpg\""), std::string::npos) << shown;
    EXPECT_NE(shown.find("<span class=\"label\">Time:</span> <span class=\"time\">3:25</span>"), std::string::npos) << shown;
    EXPECT_EQ(read(first, &IRSSItem::get_description), shown);

    IRSSItem* second = items[1].get();
    EXPECT_EQ(read(second, &IRSSItem::get_title), "Second video");
    EXPECT_EQ(read(second, &IRSSItem::get_media_content_duration), "3725") << "from yt:duration";
    EXPECT_NE(read(second, &IRSSItem::get_display_description).find("<span class=\"time\">1:02:05</span>"),
              std::string::npos);
}

TEST_F(ParseFeedsTest, FeedsOfEveryShapeGiveTheirItems)
{
    const struct { const char* path; ULONG count; const char* title; std::vector<std::string> items; std::size_t size; } cases[] = {
        {"/empty", 50, "Nothing yet", {}, 0},
        {"/many", 200, "Generated", {"Video 0", "Video 1"}, 200},
        {"/many", 50, "Generated", {"Video 0"}, 50},
        {"/many", 0, "Generated", {"Video 0"}, 200},
        {"/entities", 50, "Caf\xC3\xA9 & friends",
         {"Tom & Jerry <3 \xC3\xA9t\xC3\xA9", "<b>bold</b> & raw",
          "\xE4\xB8\xAD\xE6\x96\x87\xE6\xA0\x87\xE9\xA2\x98 \xF0\x9F\x8E\xAC"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " count " + std::to_string(c.count));
        plat::ComPtr<IRSSChannel> channel;
        ASSERT_EQ(parse(m_server.url(c.path), c.count, channel), S_OK);
        EXPECT_EQ(read(channel.get(), &IRSSChannel::get_title), c.title);
        auto items = items_of(channel.get());
        EXPECT_EQ(items.size(), c.size);
        for (std::size_t i = 0; i < c.items.size() && i < items.size(); ++i)
            EXPECT_EQ(read(items[i].get(), &IRSSItem::get_title), c.items[i]);
    }
}

TEST_F(ParseFeedsTest, BrokenInputFailsWithAClearResult)
{
    // reason: what the script error block says; null: no block at all.
    const struct { const char* name; std::string url; HRESULT result; const char* reason; } cases[] = {
        {"XML cut inside an item", m_server.url("/broken"), SCRIPT_E_REPORTED, "the feed is not XML"},
        {"markup broken before the end", m_server.url("/mismatched"), SCRIPT_E_REPORTED, "the feed is not XML"},
        {"markup broken before the end, and the end cut", m_server.url("/mismatched-cut"), SCRIPT_E_REPORTED,
         "the feed is not XML"},
        {"neither RSS nor Atom", m_server.url("/html"), SCRIPT_E_REPORTED, "not an RSS or Atom feed"},
        {"a missing feed", m_server.url("/missing"), SCRIPT_E_REPORTED, "answered 404"},
        {"nobody listening", "http://127.0.0.1:1/feed", SCRIPT_E_REPORTED, "XMLHTTP"},
        {"a file address", "file:///etc/passwd", SCRIPT_E_REPORTED, "only http and https"},
        {"the temporary channel's address, which names no feed", "TempChannel", E_FAIL, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t requests = m_server.requests().size();
        plat::DebugCapture capture;
        plat::ComPtr<IRSSChannel> channel;
        EXPECT_EQ(parse(c.url, 50, channel), c.result);
        EXPECT_FALSE(channel);
        EXPECT_EQ(capture.contains("Script Error"), c.reason != nullptr);
        if (c.reason) {
            EXPECT_TRUE(capture.contains(c.reason));
        }
        if (c.url.rfind(m_server.url("/"), 0) != 0) {
            EXPECT_EQ(m_server.requests().size(), requests) << "nothing was fetched";
        }
    }
    plat::ComPtr<IRSSChannel> channel;
    EXPECT_EQ(parse(m_server.url("/ordinary"), 50, channel), S_OK) << "the parser is still usable";

    // A parser made while the settings ask for half a second gives a stalled feed up then.
    ASSERT_TRUE(feed_testing::set_feed_settings(std::nullopt, 500));
    ASSERT_EQ(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, m_parser.put_void()), S_OK);
    plat::DebugCapture capture;
    EXPECT_EQ(parse(m_server.url("/slow"), 50, channel), SCRIPT_E_REPORTED);
    EXPECT_TRUE(capture.contains("Timeout"));
}

namespace {

const std::string media_rss = "http://search.yahoo.com/mrss/";

std::string rss(const std::string& items, const std::string& namespaces = {})
{
    return "<rss version=\"2.0\" xmlns:media=\"" + media_rss + "\" " + namespaces +
           "><channel><title>Channel</title><link>http://www.example.com/</link>" + items + "</channel></rss>";
}

std::string atom(const std::string& feed_parts, const std::string& entries)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<feed xmlns=\"http://www.w3.org/2005/Atom\" xmlns:media=\"" +
           media_rss + "\" xmlns:v=\"http://video.example.net/schemas/ext\">" + feed_parts + entries + "</feed>";
}

const std::string atom_entry =
    "<entry><id>tag:example.net,2008:video:a1</id><title>Atom video</title>"
    "<link rel=\"self\" href=\"http://example.net/feeds/a1\"/>"
    "<link rel=\"alternate\" type=\"text/html\" href=\"http://example.net/watch?v=a1\"/>"
    "<link rel=\"enclosure\" type=\"video/mp4\" length=\"999\" href=\"http://example.net/a1.mp4\"/>"
    "<published>2008-12-01T10:00:00Z</published><updated>2008-12-02T10:00:00Z</updated>"
    "<author><name>Someone</name><uri>http://example.net/someone</uri></author>"
    "<category scheme=\"http://example.net/cats\" term=\"Music\"/>"
    "<summary>Atom words</summary>"
    "<media:group><media:content url=\"http://example.net/v/a1\" type=\"video/mp4\"/>"
    "<media:thumbnail url=\"http://img.example.net/a1.jpg\"/><v:duration seconds=\"95\"/></media:group></entry>";

std::string repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

enum class Match { Equals, Contains, Lacks };

// A feed as served, and the field of its first item (or of its channel) that it shows.
struct FeedCase {
    const char* name;
    std::string body;
    const char* content_type;
    HRESULT (IRSSItem::*item_field)(BSTR*);
    HRESULT (IRSSChannel::*channel_field)(BSTR*);
    Match match;
    std::string expected;
};

}

void ParseFeedsTest::expect_fields(std::span<const FeedCase> cases)
{
    for (std::size_t i = 0; i < cases.size(); ++i)
        m_server.serve("/case" + std::to_string(i), cases[i].body, cases[i].content_type);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& c = cases[i];
        SCOPED_TRACE(c.name);
        plat::DebugCapture capture;
        plat::ComPtr<IRSSChannel> channel;
        const HRESULT hr = parse(m_server.url("/case" + std::to_string(i)), 50, channel);
        // A refused row must not hide the rows after it.
        EXPECT_EQ(hr, S_OK) << (capture.lines().empty() ? "" : capture.lines().back());
        if (FAILED(hr))
            continue;
        std::string value;
        if (c.channel_field) {
            value = read(channel.get(), c.channel_field);
        } else {
            auto items = items_of(channel.get());
            EXPECT_FALSE(items.empty());
            if (items.empty())
                continue;
            value = read(items[0].get(), c.item_field);
        }
        switch (c.match) {
        case Match::Equals: EXPECT_EQ(value, c.expected); break;
        case Match::Contains: EXPECT_NE(value.find(c.expected), std::string::npos) << value; break;
        case Match::Lacks: EXPECT_EQ(value.find(c.expected), std::string::npos) << value; break;
        }
    }
}

// Each fixture is served as written, and the first item (or the channel) read back.
TEST_F(ParseFeedsTest, FeedsAsSitesServeThemGiveTheirFields)
{
    const std::string item_with_group = "<item><title>Grouped</title><media:group>";
    const FeedCase cases[] = {
        {"RSS 2.0 title", rss("<item><title>Plain</title></item>"), "application/rss+xml", &IRSSItem::get_title,
         nullptr, Match::Equals, "Plain"},
        {"RSS 2.0 item category, not media:category",
         rss("<item><media:category>Film</media:category><category>Music</category></item>"), "text/xml",
         &IRSSItem::get_category, nullptr, Match::Equals, "Music"},
        {"the site's extension under an address of its own",
         rss(item_with_group + "<yt:duration seconds=\"75\"/></media:group></item>",
             "xmlns:yt=\"http://gdata.example.org/schemas/2007\""),
         "text/xml", &IRSSItem::get_media_content_duration, nullptr, Match::Equals, "75"},
        {"the site's extension under another prefix and address",
         rss(item_with_group + "<ext:duration seconds=\"3725\"/></media:group></item>",
             "xmlns:ext=\"urn:example:video\""),
         "text/xml", &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<span class=\"time\">1:02:05</span>"},
        {"Atom title", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_title, nullptr, Match::Equals,
         "Atom video"},
        {"Atom alternate link", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_link, nullptr,
         Match::Equals, "http://example.net/watch?v=a1"},
        {"Atom id as guid", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_guid, nullptr, Match::Equals,
         "tag:example.net,2008:video:a1"},
        {"Atom published as an RSS date", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_pubDate,
         nullptr, Match::Equals, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {"Atom updated when nothing was published, with its offset",
         atom("", "<entry><title>t</title><updated>2008-12-01T12:30:00+02:00</updated></entry>"),
         "application/atom+xml", &IRSSItem::get_pubDate, nullptr, Match::Equals, "Mon, 01 Dec 2008 10:30:00 GMT"},
        {"Atom author", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_author, nullptr, Match::Equals,
         "Someone"},
        {"Atom category", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_category, nullptr,
         Match::Equals, "Music"},
        {"Atom enclosure", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_enclosure_url, nullptr,
         Match::Equals, "http://example.net/a1.mp4"},
        {"Atom summary", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_original_description, nullptr,
         Match::Equals, "Atom words"},
        {"Atom media:group", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_media_content_url, nullptr,
         Match::Equals, "http://example.net/v/a1"},
        {"Atom extension duration", atom("", atom_entry), "application/atom+xml", &IRSSItem::get_display_description,
         nullptr, Match::Contains, "<span class=\"time\">1:35</span>"},
        {"Atom feed title", atom("<title>Atom channel</title><link href=\"http://example.net/\"/>", atom_entry),
         "application/atom+xml", nullptr, &IRSSChannel::get_title, Match::Equals, "Atom channel"},
        {"Atom feed link", atom("<title>Atom channel</title><link href=\"http://example.net/\"/>", atom_entry),
         "application/atom+xml", nullptr, &IRSSChannel::get_link, Match::Equals, "http://example.net/"},
        {"ISO-8859-1 declared", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" +
                                    rss("<item><title>Caf\xE9 cr\xE8me</title></item>"),
         "application/rss+xml", &IRSSItem::get_title, nullptr, Match::Equals, "Caf\xC3\xA9 cr\xC3\xA8me"},
        {"ISO-8859-1 named by the server", rss("<item><title>Caf\xE9</title></item>"),
         "application/rss+xml; charset=ISO-8859-1", &IRSSItem::get_title, nullptr, Match::Equals, "Caf\xC3\xA9"},
        {"several media:content: the default one",
         rss(item_with_group + "<media:content url=\"http://m.example.com/small\"/>"
             "<media:content url=\"http://m.example.com/best\" isDefault=\"true\"/></media:group></item>"),
         "text/xml", &IRSSItem::get_media_content_url, nullptr, Match::Equals, "http://m.example.com/best"},
        {"several media:content, none default: the first",
         rss("<item><media:content url=\"http://m.example.com/one\" isDefault=\"false\"/>"
             "<media:content url=\"http://m.example.com/two\"/></item>"),
         "text/xml", &IRSSItem::get_media_content_url, nullptr, Match::Equals, "http://m.example.com/one"},
        {"a javascript: thumbnail", rss("<item><media:thumbnail url=\"javascript:alert(1)\"/></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Lacks, "<img"},
        {"a javascript: thumbnail in capitals",
         rss("<item><media:thumbnail url=\"JavaScript:alert(1)\"/></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Lacks, "<img"},
        {"a file: thumbnail", rss("<item><media:thumbnail url=\"file:///etc/passwd\"/></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Lacks, "<img"},
        {"a data: thumbnail", rss("<item><media:thumbnail url=\"data:image/png;base64,AAAA\"/></item>"),
         "text/xml", &IRSSItem::get_display_description, nullptr, Match::Lacks, "<img"},
        {"an https thumbnail", rss("<item><media:thumbnail url=\"https://img.example.com/a.jpg\"/></item>"),
         "text/xml", &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<img src=\"https://img.example.com/a.jpg\""},
        {"the list's row: the picture in a cell left of the words",
         rss("<item><title>t</title><media:thumbnail url=\"http://i.example.com/t.jpg\"/></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<img src=\"http://i.example.com/t.jpg\" width=\"130\" height=\"90\"/></td><td class=\"words\""},
        {"the list's row: the title in the skin's bright text", rss("<item><title>Bright</title></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<p class=\"title\" style=\"color:#ffffff;"},
        {"the list's row: a long text cut at a blank to about three lines",
         rss("<item><title>t</title><description>" + repeated("word ", 60) + "</description></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<p class=\"text\" style=\"margin:0 0 5px 0\">" + repeated("word ", 43) + "word\xE2\x80\xA6</p>"},
        {"the list's row: no length, no \"Time:\" label left bare", rss("<item><title>t</title></item>"),
         "text/xml", &IRSSItem::get_display_description, nullptr, Match::Lacks, "Time:"},
    };
    expect_fields(cases);
}

TEST_F(ParseFeedsTest, SearchAndRelatedVideosAskTheFeedHost)
{
    plat::Bstr keyword(u"a+b%C3%A9"), site(u"YouTube");
    plat::ComPtr<IRSSChannel> channel;
    ASSERT_EQ(m_parser->RSSSearch(keyword.get(), site.get(), 50, channel.put()), S_OK);
    EXPECT_EQ(m_server.requests().back(), "/feeds/base/videos?q=a+b%C3%A9&max-results=50&alt=rss&client=ytapi-youtube-search");
    EXPECT_EQ(items_of(channel.get()).size(), 2u);

    plat::Bstr watch(u"http://www.example.com/watch?v=abc_123&feature=related");
    ASSERT_EQ(m_parser->GetRelatedVideo(watch.get(), channel.put()), S_OK);
    EXPECT_EQ(m_server.requests().back(), "/feeds/base/videos/abc_123/related?alt=rss&client=ytapi-youtube-browse");
    plat::Bstr no_video(u"http://www.example.com/about");
    EXPECT_EQ(m_parser->GetRelatedVideo(no_video.get(), channel.put()), SCRIPT_E_REPORTED);

    const struct { const char16_t* url; VARIANT_BOOL hd; const char* expected; } transforms[] = {
        {u"http://www.example.com/watch?v=abc_123", VARIANT_FALSE, "http://www.example.com/get_video?video_id=abc_123"},
        {u"http://www.example.com/watch?feature=x&v=abc", VARIANT_TRUE, "http://www.example.com/get_video?video_id=abc&fmt=22"},
        {u"http://www.example.com/v/xyz", VARIANT_FALSE, "http://www.example.com/get_video?video_id=xyz"},
        {u"http://www.example.com/about", VARIANT_TRUE, "http://www.example.com/about"},
    };
    for (const auto& t : transforms) {
        plat::Bstr url(t.url), result;
        ASSERT_EQ(m_parser->TransformURL(url.get(), t.hd, result.out()), S_OK);
        EXPECT_EQ(result.utf8(), t.expected);
    }
}

TEST_F(ParseFeedsTest, ParsersOnTwoThreadsWorkSideBySide)
{
    auto work = [this](const char* path, std::size_t expected, int& good) {
        if (FAILED(CoInitialize(nullptr)))
            return;
        {
            plat::ComPtr<IRSSParser> parser;
            if (SUCCEEDED(CoCreateInstance(CLSID_RSSParser, nullptr, CLSCTX_ALL, IID_IRSSParser, parser.put_void()))) {
                for (int i = 0; i < 3; ++i) {
                    plat::Bstr url = plat::Bstr::from_utf8(m_server.url(path));
                    plat::ComPtr<IRSSChannel> channel;
                    if (SUCCEEDED(parser->ParseRSS(url.get(), 50, channel.put())) && items_of(channel.get()).size() == expected)
                        ++good;
                }
            }
        }
        CoUninitialize();
    };
    int first = 0, second = 0;
    std::thread a(work, "/ordinary", 2, std::ref(first));
    std::thread b(work, "/entities", 3, std::ref(second));
    a.join();
    b.join();
    EXPECT_EQ(first, 3);
    EXPECT_EQ(second, 3);
}

// A parser's script engine belongs to the thread that made the parser: a call
// from another thread fails with a clear result and leaves the parser whole.
TEST_F(ParseFeedsTest, AParserCalledFromAnotherThreadRefusesAndStaysUsable)
{
    HRESULT elsewhere = S_OK;
    bool channel_given = true;
    std::thread other([&] {
        if (FAILED(CoInitialize(nullptr)))
            return;
        plat::ComPtr<IRSSChannel> channel;
        elsewhere = parse(m_server.url("/ordinary"), 50, channel);
        channel_given = channel != nullptr;
        channel.reset();
        CoUninitialize();
    });
    other.join();
    EXPECT_EQ(elsewhere, RPC_E_WRONG_THREAD);
    EXPECT_FALSE(channel_given);
    plat::ComPtr<IRSSChannel> channel;
    ASSERT_EQ(parse(m_server.url("/ordinary"), 50, channel), S_OK);
    EXPECT_EQ(items_of(channel.get()).size(), 2u);
}

namespace {

const std::string dc = "xmlns:dc=\"http://purl.org/dc/elements/1.1/\"";
const std::string itunes = "xmlns:itunes=\"http://www.itunes.com/dtds/podcast-1.0.dtd\"";

enum class Unit { Utf16, Utf32 };
enum class ByteOrder { Big, Little };
enum class Mark { None, Written };

// Text of characters of the Basic Multilingual Plane in UTF-16 or UTF-32.
std::string wide(const std::string& utf8, Unit unit, ByteOrder order, Mark mark)
{
    const std::size_t size = unit == Unit::Utf16 ? 2 : 4;
    std::string bytes;
    for (const char16_t c : (mark == Mark::Written ? u"\uFEFF" : u"") + plat::utf8_to_utf16(utf8))
        for (std::size_t i = 0; i < size; ++i) {
            const std::size_t shift = 8 * (order == ByteOrder::Big ? size - 1 - i : i);
            bytes += static_cast<char>(shift < 16 ? (c >> shift) & 0xFF : 0);
        }
    return bytes;
}

std::string rdf(const std::string& items)
{
    return "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" xmlns=\"http://purl.org/rss/1.0/\" " +
           dc + "><channel rdf:about=\"http://r.example.com/\"><title>RDF channel</title>"
           "<link>http://r.example.com/</link><dc:creator>Editor</dc:creator></channel>" + items + "</rdf:RDF>";
}

}

// Feeds as people publish them: the element each row maps, and the text it gives.
TEST_F(ParseFeedsTest, FeedsAsPeoplePublishThemGiveTheirFields)
{
    const FeedCase cases[] = {
        {"RSS with its root in a namespace",
         "<rss xmlns=\"http://backend.userland.com/rss2\" version=\"2.0\"><channel><title>c</title>"
         "<item><title>Namespaced</title></item></channel></rss>",
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "Namespaced"},
        {"RSS 0.91 link", "<rss version=\"0.91\"><channel><title>c</title><link>http://o.example.com/</link>"
                          "<item><title>Old</title><link>http://o.example.com/1</link></item></channel></rss>",
         "text/xml", &IRSSItem::get_link, nullptr, Match::Equals, "http://o.example.com/1"},
        {"RSS 1.0 item title", rdf("<item rdf:about=\"http://r.example.com/1\"><title>RDF item</title>"
                                   "<link>http://r.example.com/1</link></item>"),
         "application/rdf+xml", &IRSSItem::get_title, nullptr, Match::Equals, "RDF item"},
        {"RSS 1.0 channel title", rdf("<item><title>x</title></item>"), "application/rdf+xml", nullptr,
         &IRSSChannel::get_title, Match::Equals, "RDF channel"},
        {"RSS 1.0 channel editor from dc:creator", rdf("<item><title>x</title></item>"), "application/rdf+xml",
         nullptr, &IRSSChannel::get_managingEditor, Match::Equals, "Editor"},
        {"Atom 0.3 title and issued date",
         "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>c</title><entry><title>Old Atom</title>"
         "<link rel=\"alternate\" href=\"http://a.example.com/1\"/><issued>2008-12-01T10:00:00Z</issued></entry></feed>",
         "application/atom+xml", &IRSSItem::get_pubDate, nullptr, Match::Equals, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {"Atom without its namespace", "<feed><title>c</title><entry><title>Bare</title>"
                                       "<link href=\"http://b.example.com/1\"/></entry></feed>",
         "text/xml", &IRSSItem::get_link, nullptr, Match::Equals, "http://b.example.com/1"},
        {"dc:creator as the author", rss("<item><title>t</title><dc:creator>Writer</dc:creator></item>", dc),
         "text/xml", &IRSSItem::get_author, nullptr, Match::Equals, "Writer"},
        {"dc:date as the date", rss("<item><title>t</title><dc:date>2008-12-01T12:00:00+02:00</dc:date></item>", dc),
         "text/xml", &IRSSItem::get_pubDate, nullptr, Match::Equals, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {"dc:subject as the category", rss("<item><title>t</title><dc:subject>Music</dc:subject></item>", dc),
         "text/xml", &IRSSItem::get_category, nullptr, Match::Equals, "Music"},
        {"a plain author over dc:creator",
         rss("<item><dc:creator>Second</dc:creator><author>First</author></item>", dc), "text/xml",
         &IRSSItem::get_author, nullptr, Match::Equals, "First"},
        {"itunes:summary as the description",
         rss("<item><title>t</title><itunes:summary>Spoken words</itunes:summary></item>", itunes), "text/xml",
         &IRSSItem::get_original_description, nullptr, Match::Equals, "Spoken words"},
        {"itunes:author as the author", rss("<item><itunes:author>Host</itunes:author></item>", itunes),
         "text/xml", &IRSSItem::get_author, nullptr, Match::Equals, "Host"},
        {"itunes:duration as the duration", rss("<item><itunes:duration>1:02:05</itunes:duration></item>", itunes),
         "text/xml", &IRSSItem::get_media_content_duration, nullptr, Match::Equals, "3725"},
        {"Media RSS without its trailing slash",
         "<rss version=\"2.0\" xmlns:m=\"http://search.yahoo.com/mrss\"><channel><item>"
         "<m:content url=\"http://m.example.com/v\"/></item></channel></rss>",
         "text/xml", &IRSSItem::get_media_content_url, nullptr, Match::Equals, "http://m.example.com/v"},
        {"media:category outside media:group",
         rss("<item><media:category scheme=\"urn:x\">Film</media:category><media:group>"
             "<media:thumbnail url=\"http://i.example.com/t.jpg\"/></media:group></item>"),
         "text/xml", &IRSSItem::get_media_category, nullptr, Match::Equals, "Film"},
        {"media:thumbnail inside media:group",
         rss("<item><media:category>Film</media:category><media:group>"
             "<media:thumbnail url=\"http://i.example.com/t.jpg\"/></media:group></item>"),
         "text/xml", &IRSSItem::get_media_thumbnail_url, nullptr, Match::Equals, "http://i.example.com/t.jpg"},
        {"a permalink guid as the missing link", rss("<item><title>t</title><guid>http://g.example.com/1</guid></item>"),
         "text/xml", &IRSSItem::get_link, nullptr, Match::Equals, "http://g.example.com/1"},
        {"HTML named entities in a title", rss("<item><title>Caf&eacute;&nbsp;&hellip; &bogus;</title></item>"),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "Caf\xC3\xA9\xC2\xA0\xE2\x80\xA6 &bogus;"},
        {"entity-escaped HTML unescaped once", rss("<item><description>&amp;lt;b&amp;gt; &lt;i&gt;</description></item>"),
         "text/xml", &IRSSItem::get_original_description, nullptr, Match::Equals, "&lt;b&gt; <i>"},
        {"markup written into a description stays markup",
         rss("<item><description>Loud <b>guitars</b> &amp; <i>drums</i> &lt;3</description></item>"), "text/xml",
         &IRSSItem::get_original_description, nullptr, Match::Equals, "Loud <b>guitars</b> &amp; <i>drums</i> &lt;3"},
        {"the view of a description with markup escapes its text once",
         rss("<item><description>Loud <b>guitars</b> &amp; <i>drums</i> &lt;3</description></item>"), "text/xml",
         &IRSSItem::get_display_description, nullptr, Match::Contains,
         "<p class=\"text\" style=\"margin:0 0 5px 0\">Loud guitars &amp; drums &lt;3</p>"},
        {"XHTML content in an Atom entry stays markup",
         atom("", "<entry><title>t</title><content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
                  "<p>Hi</p></div></content></entry>"),
         "application/atom+xml", &IRSSItem::get_original_description, nullptr, Match::Contains, "<p>Hi</p>"},
        {"Latin-1 declared, Windows-1252 used",
         "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>" + rss("<item><title>\x93Hi\x94 \x96 \x80</title></item>"),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals,
         "\xE2\x80\x9CHi\xE2\x80\x9D \xE2\x80\x93 \xE2\x82\xAC"},
        {"EUC-KR", "<?xml version=\"1.0\" encoding=\"EUC-KR\"?>" + rss("<item><title>\xC7\xD1\xB1\xB9</title></item>"),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xED\x95\x9C\xEA\xB5\xAD"},
        {"Shift_JIS named by the server", rss("<item><title>\x93\xFA\x96\x7B</title></item>"),
         "text/xml; charset=Shift_JIS", &IRSSItem::get_title, nullptr, Match::Equals, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"the last closing tag without its >",
         rss("<item><title>Kept</title></item>").substr(0, rss("<item><title>Kept</title></item>").size() - 1),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "Kept"},
        {"the channel and the root never closed",
         "<rss version=\"2.0\"><channel><title>c</title><item><title>Kept too</title></item>\n", "text/xml",
         &IRSSItem::get_title, nullptr, Match::Equals, "Kept too"},
        {"HTML 4's rarer names", rss("<item><title>&Yuml;&OElig;&thetasym;&loz;&spades;&euro;&zwj;</title></item>"),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals,
         "\xC5\xB8\xC5\x92\xCF\x91\xE2\x97\x8A\xE2\x99\xA0\xE2\x82\xAC\xE2\x80\x8D"},
        {"an HTML entity in an attribute",
         rss("<item><title>t</title><category domain=\"Caf&eacute;\">c</category></item>"), "text/xml",
         &IRSSItem::get_category_domain, nullptr, Match::Equals, "Caf\xC3\xA9"},
        {"RSS 0.91 under its DOCTYPE, with HTML entities",
         "<?xml version=\"1.0\"?><!DOCTYPE rss PUBLIC \"-//Netscape Communications//DTD RSS 0.91//EN\" "
         "\"http://my.netscape.com/publish/formats/rss-0.91.dtd\"><rss version=\"0.91\"><channel><title>c</title>"
         "<item><title>Cr&egrave;me&nbsp;br&ucirc;l&eacute;e</title></item></channel></rss>",
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals,
         "Cr\xC3\xA8me\xC2\xA0""br\xC3\xBBl\xC3\xA9""e"},
        {"RSS 0.92 enclosure",
         "<rss version=\"0.92\"><channel><title>c</title><item><description>Only words</description>"
         "<enclosure url=\"http://o.example.com/a.mp3\" length=\"5\" type=\"audio/mpeg\"/></item></channel></rss>",
         "text/xml", &IRSSItem::get_enclosure_url, nullptr, Match::Equals, "http://o.example.com/a.mp3"},
        {"RSS 1.0 item date from dc:date",
         rdf("<item><title>x</title><dc:date>2008-12-01T10:00:00Z</dc:date></item>"), "application/rdf+xml",
         &IRSSItem::get_pubDate, nullptr, Match::Equals, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {"RSS 0.90 item link",
         "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\" "
         "xmlns=\"http://my.netscape.com/rdf/simple/0.9/\"><channel><title>c</title></channel>"
         "<item><title>Oldest</title><link>http://n.example.com/1</link></item></rdf:RDF>",
         "text/xml", &IRSSItem::get_link, nullptr, Match::Equals, "http://n.example.com/1"},
        {"Atom 0.3 escaped content unescaped once",
         "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>c</title><entry><title>t</title>"
         "<content type=\"text/html\" mode=\"escaped\">&lt;b&gt;Hi&lt;/b&gt; &amp;amp;</content></entry></feed>",
         "application/atom+xml", &IRSSItem::get_original_description, nullptr, Match::Equals, "<b>Hi</b> &amp;"},
        {"Atom without its namespace: the author",
         "<feed><title>c</title><entry><title>t</title><author><name>Bare author</name></author></entry></feed>",
         "text/xml", &IRSSItem::get_author, nullptr, Match::Equals, "Bare author"},
        {"media:content inside media:group without the trailing slash",
         "<rss version=\"2.0\" xmlns:media=\"http://search.yahoo.com/mrss\"><channel><item><media:group>"
         "<media:content url=\"http://m.example.com/g\"/></media:group></item></channel></rss>",
         "text/xml", &IRSSItem::get_media_content_url, nullptr, Match::Equals, "http://m.example.com/g"},
        {"media:thumbnail outside media:group", rss("<item><media:thumbnail url=\"http://i.example.com/o.jpg\"/></item>"),
         "text/xml", &IRSSItem::get_media_thumbnail_url, nullptr, Match::Equals, "http://i.example.com/o.jpg"},
        {"media:category inside media:group",
         rss("<item><media:group><media:category label=\"Films\">Film</media:category></media:group></item>"),
         "text/xml", &IRSSItem::get_media_category_label, nullptr, Match::Equals, "Films"},
        {"a guid marked a permalink as the missing link",
         rss("<item><title>t</title><guid isPermaLink=\"true\">http://g.example.com/3</guid></item>"), "text/xml",
         &IRSSItem::get_link, nullptr, Match::Equals, "http://g.example.com/3"},
        {"GB2312 declared", "<?xml version=\"1.0\" encoding=\"GB2312\"?>" + rss("<item><title>\xD6\xD0\xCE\xC4</title></item>"),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xE4\xB8\xAD\xE6\x96\x87"},
        {"Big5 named by the server", rss("<item><title>\xA4\xA4\xA4\xE5</title></item>"), "text/xml; charset=Big5",
         &IRSSItem::get_title, nullptr, Match::Equals, "\xE4\xB8\xAD\xE6\x96\x87"},
        {"the server's charset over the declaration",
         "<?xml version=\"1.0\" encoding=\"windows-1251\"?>" + rss("<item><title>\xF6\xD6</title></item>"),
         "text/xml; charset=KOI8-R", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xD0\xB6"},
        {"a byte-order mark over the server's charset",
         "\xEF\xBB\xBF" + rss("<item><title>\xD0\x96\xD0\xB6</title></item>"), "text/xml; charset=KOI8-R",
         &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xD0\xB6"},
        {"UTF-8 when nothing names a charset", rss("<item><title>\xD0\x96\xD0\xB6</title></item>"), "text/xml",
         &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xD0\xB6"},
        {"UTF-16 little-endian with its mark",
         wide(rss("<item><title>\xD0\x96\xC3\xA9</title></item>"), Unit::Utf16, ByteOrder::Little, Mark::Written),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"UTF-16 big-endian without a mark",
         wide("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + rss("<item><title>\xD0\x96\xC3\xA9</title></item>"),
              Unit::Utf16, ByteOrder::Big, Mark::None),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"UTF-32 little-endian with its mark",
         wide(rss("<item><title>\xD0\x96\xC3\xA9</title></item>"), Unit::Utf32, ByteOrder::Little, Mark::Written),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"UTF-32 big-endian with its mark",
         wide(rss("<item><title>\xD0\x96\xC3\xA9</title></item>"), Unit::Utf32, ByteOrder::Big, Mark::Written),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"UTF-32 big-endian without a mark",
         wide("<?xml version=\"1.0\" encoding=\"UTF-32\"?>" + rss("<item><title>\xD0\x96\xC3\xA9</title></item>"),
              Unit::Utf32, ByteOrder::Big, Mark::None),
         "text/xml", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"UTF-16 named by the server, without a mark",
         wide(rss("<item><title>\xD0\x96\xC3\xA9</title></item>"), Unit::Utf16, ByteOrder::Little, Mark::None),
         "text/xml; charset=UTF-16LE", &IRSSItem::get_title, nullptr, Match::Equals, "\xD0\x96\xC3\xA9"},
        {"a bare & in a link", rss("<item><title>t</title><link>http://v.example.com/watch?v=1&feature=rss</link></item>"),
         "text/xml", &IRSSItem::get_link, nullptr, Match::Equals, "http://v.example.com/watch?v=1&feature=rss"},
        {"a bare & in a title, and an upper-case &#X, which XML does not allow",
         rss("<item><title>Tom & Jerry &#X42; &#x43;</title></item>"), "text/xml", &IRSSItem::get_title, nullptr,
         Match::Equals, "Tom & Jerry &#X42; C"},
        {"dc:subject as the channel's category", rss("<dc:subject>Music</dc:subject><item><title>t</title></item>", dc),
         "text/xml", nullptr, &IRSSChannel::get_category, Match::Equals, "Music"},
        {"itunes:category as the channel's category",
         rss("<itunes:category text=\"Arts\"/><item><title>t</title></item>", itunes), "text/xml", nullptr,
         &IRSSChannel::get_category, Match::Equals, "Arts"},
        {"itunes:image as the channel's picture",
         rss("<itunes:image href=\"http://i.example.com/show.jpg\"/><item><title>t</title></item>", itunes),
         "text/xml", nullptr, &IRSSChannel::get_image_url, Match::Equals, "http://i.example.com/show.jpg"},
        {"dc:creator as an Atom feed's editor",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\" " + dc + "><title>c</title><dc:creator>Desk</dc:creator></feed>",
         "application/atom+xml", nullptr, &IRSSChannel::get_managingEditor, Match::Equals, "Desk"},
        {"dc:date as an Atom feed's date",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\" " + dc +
             "><title>c</title><dc:date>2008-12-01T10:00:00Z</dc:date></feed>",
         "application/atom+xml", nullptr, &IRSSChannel::get_pubDate, Match::Equals, "Mon, 01 Dec 2008 10:00:00 GMT"},
        {"dc:rights as an Atom feed's copyright",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\" " + dc + "><title>c</title><dc:rights>Ours</dc:rights></feed>",
         "application/atom+xml", nullptr, &IRSSChannel::get_copyright, Match::Equals, "Ours"},
        {"an Atom feed's xml:lang as its language",
         "<feed xmlns=\"http://www.w3.org/2005/Atom\" xml:lang=\"de\"><title>c</title></feed>",
         "application/atom+xml", nullptr, &IRSSChannel::get_language, Match::Equals, "de"},
        {"RSS 1.0's image beside its channel",
         rdf("<image rdf:about=\"http://r.example.com/i.gif\"><url>http://r.example.com/i.gif</url></image>"),
         "application/rdf+xml", nullptr, &IRSSChannel::get_image_url, Match::Equals, "http://r.example.com/i.gif"},
        {"an Atom 0.3 title in Base64",
         "<feed version=\"0.3\" xmlns=\"http://purl.org/atom/ns#\"><title>c</title><entry>"
         "<title mode=\"base64\">Q2Fmw6kgc29uZ3M=</title></entry></feed>",
         "application/atom+xml", &IRSSItem::get_title, nullptr, Match::Equals, "Caf\xC3\xA9 songs"},
        {"Atom content of a binary type, in Base64",
         atom("", "<entry><title>t</title><content type=\"application/octet-stream\">PGI+SGk8L2I+</content></entry>"),
         "application/atom+xml", &IRSSItem::get_original_description, nullptr, Match::Equals, "<b>Hi</b>"},
        {"an Atom summary marked ;base64",
         atom("", "<entry><title>t</title><summary type=\"text/html;base64\">PGk+c288L2k+</summary></entry>"),
         "application/atom+xml", &IRSSItem::get_original_description, nullptr, Match::Equals, "<i>so</i>"},
        {"an Atom feed's subtitle in Base64",
         atom("<title>c</title><subtitle type=\"application/octet-stream\">V29yZHM=</subtitle>", ""),
         "application/atom+xml", nullptr, &IRSSChannel::get_description, Match::Equals, "Words"},
        {"XHTML content in an Atom entry is the content of its div",
         atom("", "<entry><title>t</title><content type=\"xhtml\"><div xmlns=\"http://www.w3.org/1999/xhtml\">"
                  "<p>Hi</p></div></content></entry>"),
         "application/atom+xml", &IRSSItem::get_original_description, nullptr, Match::Equals, "<p>Hi</p>"},
        {"an Atom entry's source title",
         atom("", "<entry><title>t</title><source><title>Origin</title><link href=\"http://o.example.net/\"/>"
                  "</source></entry>"),
         "application/atom+xml", &IRSSItem::get_source, nullptr, Match::Equals, "Origin"},
        {"an Atom entry's source address",
         atom("", "<entry><title>t</title><source><title>Origin</title><link href=\"http://o.example.net/\"/>"
                  "</source></entry>"),
         "application/atom+xml", &IRSSItem::get_source_url, nullptr, Match::Equals, "http://o.example.net/"},
        {"a guid that is no permalink stays out of the link",
         rss("<item><title>t</title><guid isPermaLink=\"false\">http://g.example.com/2</guid></item>"), "text/xml",
         &IRSSItem::get_link, nullptr, Match::Equals, ""},
    };
    expect_fields(cases);
}

// Feeds made to hurt: each ends quickly (refused, or read without what it asked
// for) and nothing but the feed itself is fetched.
TEST_F(ParseFeedsTest, HostileFeedsEndQuicklyAndFetchNothingElse)
{
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY l0 \"ha\">";
    for (int i = 1; i < 10; ++i)
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + std::string(10, '&') + "\">";
    for (int i = 1; i < 10; ++i) {
        std::string refs;
        for (int j = 0; j < 10; ++j)
            refs += "&l" + std::to_string(i - 1) + ";";
        laughs.replace(laughs.find(std::string(10, '&')), 10, refs);
    }
    laughs += "]>" + rss("<item><title>&l9;</title></item>");
    std::string nested = "<rss version=\"2.0\"><channel><item><title>deep</title>";
    for (int i = 0; i < 10000; ++i)
        nested += "<d>";
    nested += "</item></channel></rss>";
    const std::string outside = m_server.url("/outside");
    const struct { const char* name; std::string body; } cases[] = {
        {"entity expansion", laughs},
        {"an external entity", "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY x SYSTEM \"" + outside +
                                   "\"><!ENTITY f SYSTEM \"file:///etc/passwd\">]>" +
                                   rss("<item><title>&x;&f;</title></item>")},
        {"an external DTD", "<?xml version=\"1.0\"?><!DOCTYPE rss SYSTEM \"" + outside + "\">" +
                                rss("<item><title>&nbsp;t</title></item>")},
        {"a parameter entity", "<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY % p SYSTEM \"" + outside +
                                   "\"> %p;]>" + rss("<item><title>t</title></item>")},
        {"10,000 nested elements", nested},
        {"30 MB of text", rss("<item><title>" + std::string(30u << 20, 'x') + "</title></item>")},
    };
    m_server.serve("/outside", "<!ENTITY nbsp \"stolen\">", "text/plain");
    for (std::size_t i = 0; i < std::size(cases); ++i)
        m_server.serve("/hostile" + std::to_string(i), cases[i].body);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].name);
        plat::ComPtr<IRSSChannel> channel;
        const HRESULT hr = parse(m_server.url("/hostile" + std::to_string(i)), 50, channel);
        if (SUCCEEDED(hr)) {
            const auto items = items_of(channel.get());
            const std::string title = items.empty() ? "" : read(items[0].get(), &IRSSItem::get_title);
            EXPECT_LT(title.size(), 1000u) << "nothing expanded beyond what the feed holds";
            EXPECT_EQ(title.find("root:"), std::string::npos);
            EXPECT_EQ(title.find("stolen"), std::string::npos);
        } else {
            EXPECT_EQ(hr, SCRIPT_E_REPORTED);
        }
    }
    for (const std::string& target : m_server.requests())
        EXPECT_NE(target, "/outside");
}
