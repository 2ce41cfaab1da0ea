#pragma once
// The video site's standard feeds, which the default content puts in the
// folder "YouTube Video", and the text each one is shown with.

#include <span>
#include <string>
#include <string_view>

struct StandardFeed {
    const char* title;   // stored as the channel's title
    const char* path;    // path and query on the feed host
    int text_id;         // string-table id of the display text
};

// The host used while the user names none.
inline constexpr const char* default_feed_host = "feeds.vazirezo.invalid";

std::span<const StandardFeed> standard_feeds();

// The user's feed host: HKCU "Software\Corvalen\Strimo" "FeedHost" (host and
// optional port, as the parser reads it), else default_feed_host.
std::string feed_host();

// The whole address stored in the channel's feed_url: "http://" host path.
std::string standard_feed_url(const StandardFeed& feed, std::string_view host);

// What follows the host in a web address ("/path?query"); empty when the
// text is not one.
std::string_view feed_url_path(std::string_view url);
