#include "browserext/VideoSiteAddresses.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace browserext;

TEST(VideoSiteAddresses, ServesPlainHttpPagesOfTheSiteOnly)
{
    const struct {
        std::string location;
        bool served;
    } cases[] = {
        {"http://www.youtube.com/watch?v=x", true},
        {"HTTP://WWW.YOUTUBE.COM/watch?v=x", true},
        {"http://youtube.com/", true},
        {"http://uk.m.youtube.com/browse", true},
        {"https://www.youtube.com/watch?v=x", false},
        {"http://youtube.com.evil.example/watch", false},
        {"http://notyoutube.com/watch", false},
        {"http://evil.example/www.youtube.com/", false},
        {"http://youtube.com@evil.example/", false},
        {"ftp://www.youtube.com/", false},
        {"about:blank", false},
        {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(is_video_site_page(c.location), c.served);
    }
}

TEST(VideoSiteAddresses, CategoryPagesSpliceTheirCategoryIntoTheFeedLink)
{
    const std::string link = "http://gdata.youtube.com/feeds/base/standardfeeds/most_viewed?time=today";
    const struct {
        std::string location;
        std::string feed;
    } cases[] = {
        {"http://www.youtube.com/browse?s=mp&c=10&l=", "http://gdata.youtube.com/feeds/base/standardfeeds/most_viewed_Music?time=today"},
        {"http://www.youtube.com/browse?c=2", "http://gdata.youtube.com/feeds/base/standardfeeds/most_viewed_Autos?time=today"},
        {"http://www.youtube.com/browse?c=19", "http://gdata.youtube.com/feeds/base/standardfeeds/most_viewed_Travel?time=today"},
        {"http://www.youtube.com/browse?c=0", link},
        {"http://www.youtube.com/browse?c=99", link},
        {"http://www.youtube.com/browse?c=music", link},
        {"http://www.youtube.com/browse?c=99999999999999999999", link},
        {"http://www.youtube.com/browse?s=mp", link},
        {"http://www.youtube.com/browse", link},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.location);
        EXPECT_EQ(category_feed_url(link, c.location), c.feed);
    }
    EXPECT_EQ(category_feed_url("http://gdata.youtube.com/feeds/most_viewed", "http://www.youtube.com/browse?c=10"),
              "http://gdata.youtube.com/feeds/most_viewed");
}

TEST(VideoSiteAddresses, WatchPagesSubscribeToTheOwnersUploads)
{
    EXPECT_EQ(watch_feed_url("feeds.example", "someone"),
              "http://feeds.example/feeds/base/users/someone/uploads?alt=rss&orderby=published");
}

TEST(VideoSiteAddresses, OnlyAbsoluteWebAddressesAreFeeds)
{
    const struct {
        std::string url;
        bool feed;
    } cases[] = {
        {"http://feeds.example/a?alt=rss", true}, {"https://feeds.example/a", true},
        {"javascript:alert(1)", false}, {"file:///etc/passwd", false}, {"/feeds/a", false}, {"", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        EXPECT_EQ(is_web_feed_url(c.url), c.feed);
    }
}

}
