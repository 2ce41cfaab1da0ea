#include "core/feedcontent/StandardFeeds.h"

#include "components/common/regutil/ProgramKey.h"
#include "components/common/services/RegRead.h"
#include "platform/base/Utf.h"

#include <array>

namespace {

constexpr std::array<StandardFeed, 8> feeds{{
    {"popular", "/feeds/base/standardfeeds/most_popular?client=ytapi-youtube-browse&alt=rss&time=today", 6080},
    {"Most Viewed", "/feeds/base/standardfeeds/most_viewed?client=ytapi-youtube-browse&alt=rss&time=today", 6081},
    {"Recently Featured", "/feeds/base/standardfeeds/recently_featured?client=ytapi-youtube-browse&alt=rss", 6082},
    {"Most Discussed", "/feeds/base/standardfeeds/most_discussed?client=ytapi-youtube-browse&alt=rss&time=today", 6083},
    {"Recent Videos", "/feeds/base/standardfeeds/most_recent?client=ytapi-youtube-browse&alt=rss", 6084},
    {"Most Responded", "/feeds/base/standardfeeds/most_responded?client=ytapi-youtube-browse&alt=rss&time=today", 6085},
    {"Top Favorited", "/feeds/base/standardfeeds/top_favorites?client=ytapi-youtube-browse&alt=rss&time=today", 6086},
    {"Top Rated", "/feeds/base/standardfeeds/top_rated?client=ytapi-youtube-browse&alt=rss&time=today", 6087},
}};

}

std::span<const StandardFeed> standard_feeds()
{
    return feeds;
}

std::string feed_host()
{
    const std::u16string host = ReadRegString(HKEY_CURRENT_USER, ProgramKey, u"FeedHost");
    return host.empty() ? std::string(default_feed_host) : plat::utf16_to_utf8(host);
}

std::string standard_feed_url(const StandardFeed& feed, std::string_view host)
{
    return "http://" + std::string(host) + feed.path;
}

std::string_view feed_url_path(std::string_view url)
{
    const std::size_t scheme_end = url.find("://");
    if (scheme_end == std::string_view::npos)
        return {};
    const std::size_t path = url.find('/', scheme_end + 3);
    return path == std::string_view::npos ? std::string_view() : url.substr(path);
}
