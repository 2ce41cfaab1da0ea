#include "browserext/VideoSiteAddresses.h"

#include "platform/net/CrackedUrl.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

namespace browserext {
namespace {

// Searched in this order; the first number that matches wins.
constexpr std::array<std::pair<int, std::string_view>, 15> categories = {{
    {2, "_Autos?"}, {23, "_Comedy?"}, {27, "_Education?"}, {24, "_Entertainment?"}, {1, "_Film?"},
    {20, "_Games?"}, {26, "_Howto?"}, {10, "_Music?"}, {25, "_News?"}, {29, "_Nonprofit?"},
    {22, "_People?"}, {15, "_Animals?"}, {28, "_Tech?"}, {17, "_Sports?"}, {19, "_Travel?"},
}};

constexpr std::string_view site_domain = "youtube.com";

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

// The number after "c=" up to the next "&"; 0 when there is none or it is no number.
int category_number(std::string_view extra)
{
    const std::size_t at = extra.find("c=");
    if (at == std::string_view::npos)
        return 0;
    std::string_view digits = extra.substr(at + 2);
    digits = digits.substr(0, digits.find('&'));
    if (digits.empty() || digits.size() > 9 ||
        !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return 0;
    return std::stoi(std::string(digits));
}

}

bool is_video_site_page(std::string_view location)
{
    const auto cracked = plat::crack_url(lower(location));
    if (!cracked || cracked->scheme != plat::UrlScheme::Http)
        return false;
    const std::string& host = cracked->host;
    return host == site_domain ||
           (host.size() > site_domain.size() && host.ends_with(site_domain) &&
            host[host.size() - site_domain.size() - 1] == '.');
}

std::string watch_feed_url(std::string_view feed_host, std::string_view user_name)
{
    return "http://" + std::string(feed_host) + "/feeds/base/users/" + std::string(user_name) +
           "/uploads?alt=rss&orderby=published";
}

std::string category_feed_url(std::string link, std::string_view location)
{
    const auto cracked = plat::crack_url(location);
    if (!cracked || cracked->extra.empty())
        return link;
    const int number = category_number(cracked->extra);
    const std::size_t mark = link.find('?');
    if (number == 0 || mark == std::string::npos)
        return link;
    for (const auto& [category, text] : categories)
        if (category == number)
            return link.replace(mark, 1, text);
    return link;
}

bool is_web_feed_url(std::string_view url)
{
    const auto cracked = plat::crack_url(url);
    return cracked && !cracked->host.empty() &&
           (cracked->scheme == plat::UrlScheme::Http || cracked->scheme == plat::UrlScheme::Https);
}

}
