#include "platform/net/CrackedUrl.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

TEST(CrackUrl, SplitsAndDecodesEachPart)
{
    const struct {
        std::string url;
        plat::UrlScheme scheme;
        std::string scheme_name, host, path, extra, user, password;
    } cases[] = {
        {"http://www.youtube.com/watch?v=x", plat::UrlScheme::Http, "http", "www.youtube.com", "/watch", "?v=x", "", ""},
        {"HTTPS://Host.Example/A%20B?q=%41#top", plat::UrlScheme::Https, "https", "Host.Example", "/A B", "?q=A#top", "", ""},
        {"http://ann:s%3Acret@h:8080", plat::UrlScheme::Http, "http", "h", "/", "", "ann", "s:cret"},
        {"http://h/p#only-fragment", plat::UrlScheme::Http, "http", "h", "/p", "#only-fragment", "", ""},
        {"ftp://h/file", plat::UrlScheme::Unknown, "ftp", "h", "/file", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        const auto cracked = plat::crack_url(c.url);
        ASSERT_TRUE(cracked);
        EXPECT_EQ(cracked->scheme, c.scheme);
        EXPECT_EQ(cracked->scheme_name, c.scheme_name);
        EXPECT_EQ(cracked->host, c.host);
        EXPECT_EQ(cracked->path, c.path);
        EXPECT_EQ(cracked->extra, c.extra);
        EXPECT_EQ(cracked->user, c.user);
        EXPECT_EQ(cracked->password, c.password);
    }
}

TEST(CrackUrl, RefusesWhatIsNoAbsoluteAddressOrTooLong)
{
    const std::string long_path(plat::max_url_part + 1, 'a');
    const std::string long_query(plat::max_url_part, 'q');
    const std::string refused[] = {
        "", "/watch?v=x", "not an address", "http://", "http://h/" + long_path, "http://h/?" + long_query,
    };
    for (const auto& url : refused) {
        SCOPED_TRACE(url.substr(0, 40));
        EXPECT_FALSE(plat::crack_url(url));
    }
    EXPECT_TRUE(plat::crack_url("http://h/" + std::string(plat::max_url_part - 1, 'a')));
}

TEST(ResolveUrl, ReadsLinksAgainstThePageAddress)
{
    const std::string page = "http://www.youtube.com/browse?c=10&s=mp";
    const struct {
        std::string reference;
        std::optional<std::string> resolved;
    } cases[] = {
        {"/rss/global/most_viewed.rss?x=1", "http://www.youtube.com/rss/global/most_viewed.rss?x=1"},
        {"feed.rss", "http://www.youtube.com/feed.rss"},
        {"//gdata.youtube.com/feeds", "http://gdata.youtube.com/feeds"},
        {"https://other.example/a", "https://other.example/a"},
        {"#top", "http://www.youtube.com/browse?c=10&s=mp#top"},
        {"?c=2#x", "http://www.youtube.com/browse?c=2#x"},
        {"", "http://www.youtube.com/browse?c=10&s=mp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reference);
        EXPECT_EQ(plat::resolve_url(page, c.reference), c.resolved);
    }
    EXPECT_FALSE(plat::resolve_url("not an address", "feed.rss"));
}

}
