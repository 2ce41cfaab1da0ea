#pragma once
// The video site's standard feeds, which the default content puts in the
// folder "YouTube Video", and the text each one is shown with.

#include <span>
#include <string>

struct StandardFeed {
    const char* title;   // stored as the channel's title
    const char* path;    // path and query on the feed host
    int text_id;         // string-table id of the display text
};

// The feed host the standard feed addresses start with.
inline constexpr const char* standard_feed_host = "http://feeds.vazirezo.invalid";

std::span<const StandardFeed> standard_feeds();

// The whole address stored in the channel's feed_url.
std::string standard_feed_url(const StandardFeed& feed);
