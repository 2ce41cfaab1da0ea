#pragma once
// The addresses the extension reads and writes: which pages it serves and
// the feed each kind of page subscribes to.

#include <string>
#include <string_view>

namespace browserext {

// Plain http pages of the video site itself: host "youtube.com" or one ending
// in ".youtube.com", scheme and host in any case. https pages are not served,
// and neither are hosts that merely hold the name.
bool is_video_site_page(std::string_view location);

// The uploads feed of a page owner on the feed host.
std::string watch_feed_url(std::string_view feed_host, std::string_view user_name);

// A category page's feed link carries its category: when the page address's
// query gives c a number of the category table, the link's first "?" becomes
// "_<Category>?". Any other link is returned unchanged.
std::string category_feed_url(std::string link, std::string_view location);

// Only absolute http and https addresses are stored as channels.
bool is_web_feed_url(std::string_view url);

}
