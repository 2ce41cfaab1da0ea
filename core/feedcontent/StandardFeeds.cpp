#include "core/feedcontent/StandardFeeds.h"

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

std::string standard_feed_url(const StandardFeed& feed)
{
    return std::string(standard_feed_host) + feed.path;
}
