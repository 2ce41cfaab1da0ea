#include "browserext/YoutubePage.h"

#include "platform/html/testing/PageTesting.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using browserext::YoutubePage;

class YoutubePageTest : public testing::Test {
protected:
    YoutubePage load(const std::string& html, const std::string& url = "http://www.youtube.com/browse?c=10")
    {
        m_document = plat::html::load_page(html, url);
        EXPECT_TRUE(m_document);
        return YoutubePage(m_document.as<IHTMLDocument2>(), m_document.as<IHTMLDocument3>());
    }

    // The markup of the element with the id, or "-" when there is none.
    std::string html_of(const char* id)
    {
        plat::ComPtr<IHTMLElement> found;
        m_document->getElementById(plat::Bstr::from_utf8(id).get(), found.put());
        plat::Bstr html;
        if (!found)
            return "-";
        found->get_innerHTML(html.out());
        return html.utf8();
    }

    plat::ComPtr<plat::html::HtmlDocument> m_document;
};

TEST_F(YoutubePageTest, TheWatchPageLinkGoesWhereTheSitesOwnButtonIs)
{
    const struct {
        std::string page;
        const char* holder;   // the element that gets the container; null: none does
    } cases[] = {
        {"<div id=subscribeDiv class=x>s</div><div id=unsubscribeDiv>u</div>", "subscribeDiv"},
        {"<div id=subscribeDiv class=hid>s</div><div id=unsubscribeDiv>u</div>", "unsubscribeDiv"},
        {"<div id=subscribeDiv class='hid big'>s</div><div id=unsubscribeDiv>u</div>", "subscribeDiv"},
        {"<div id=subscribeDiv class=hid>s</div>", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        YoutubePage page = load(c.page, "http://www.youtube.com/watch?v=x");
        ASSERT_TRUE(page.is_watch_page());
        if (!c.holder) {
            EXPECT_EQ(page.set_subscribed_state(true), E_FAIL);
            EXPECT_FALSE(page.is_handled());
            continue;
        }
        ASSERT_EQ(page.set_subscribed_state(true), S_OK);
        const std::string holder = html_of(c.holder);
        EXPECT_NE(holder.find("<div id=\"strimo_rssfetcher\" style=\"display:inline\"><a href=\"javascript:if("
                              "RSSSubscribe(watchUsername))"),
                  std::string::npos)
            << holder;
    }
}

TEST_F(YoutubePageTest, TheFeedLinkPageGetsOneLinkAfterItsFeedLinkUntilSubscribed)
{
    YoutubePage page = load("<p><a class='rsslink big' href=/no>x</a><a class=rsslink id=feed href='/rss/global/"
                            "most_viewed.rss?t=1'>feed</a><span id=after></span></p>");
    EXPECT_FALSE(page.is_watch_page());
    EXPECT_EQ(page.feed_link(), "http://www.youtube.com/rss/global/most_viewed.rss?t=1");
    ASSERT_EQ(page.set_subscribed_state(true), S_OK);
    ASSERT_EQ(page.set_subscribed_state(true), S_OK);
    const std::string link = "<a style=\"background:transparent url(http://www.corvalen.invalid/strimo/images/"
                             "subscribe_s.png) no-repeat scroll -2px 0; padding-left:16px\" href=\"javascript:if("
                             "RSSSubscribe(rss_feed_url)) alert('Subscribe Successfully!'); else alert('Subscribe "
                             "Failed!');\">RSS To Strimo</a>";
    plat::ComPtr<IHTMLElement> body;
    ASSERT_EQ(m_document->get_body(body.put()), S_OK);
    plat::Bstr html;
    body->get_innerHTML(html.out());
    EXPECT_NE(html.utf8().find("most_viewed.rss?t=1\">feed</a><div id=\"strimo_rssfetcher\" style=\"padding-left:"
                               "4px\">" + link + "</div><span id=\"after\">"),
              std::string::npos)
        << html.utf8();
    EXPECT_TRUE(page.is_handled());

    ASSERT_EQ(page.set_subscribed_state(false), S_OK);
    EXPECT_FALSE(page.is_handled());
    EXPECT_EQ(page.set_subscribed_state(false), S_OK);
}

TEST_F(YoutubePageTest, PagesWithoutEitherMarkGetNothing)
{
    YoutubePage page = load("<p><a class=rss href=/f>feed</a></p>");
    EXPECT_FALSE(page.is_watch_page());
    EXPECT_FALSE(page.feed_link());
    EXPECT_EQ(page.set_subscribed_state(true), E_FAIL);
    EXPECT_FALSE(page.is_handled());
}

TEST_F(YoutubePageTest, TheChannelTitleComesFromTheHeaderAndTheTimeSlice)
{
    const struct {
        std::string page;
        std::string title;
    } cases[] = {
        {"<p>none</p>", "RSS From Youtube"},
        {"<h1 id=main-header>Most Viewed</h1>", "Most Viewed"},
        {"<h1 id=main-header>Most Viewed</h1><div><b>Today</b>\n  <span id=time-slice-modifiers></span></div>",
         "Most Viewed- Today"},
        {"<h1 id=main-header>Most Viewed</h1><div><span id=time-slice-modifiers></span></div>", "Most Viewed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(load(c.page).feed_page_title(), c.title);
    }
}

}
