// Cracking addresses with curl_url: each part is asked for decoded, and a
// part the address lacks reads as empty.

#include "platform/net/CrackedUrl.h"

#include <curl/curl.h>

#include <memory>

namespace plat {
namespace {

struct UrlClose {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

// The decoded part, empty when the address has none; none when too long.
std::optional<std::string> part(CURLU* url, CURLUPart which)
{
    char* text = nullptr;
    if (curl_url_get(url, which, &text, CURLU_URLDECODE) != CURLUE_OK)
        return std::string();
    std::string value(text);
    curl_free(text);
    if (value.size() > max_url_part)
        return std::nullopt;
    return value;
}

UrlScheme scheme_number(std::string_view name)
{
    if (name == "http")
        return UrlScheme::Http;
    if (name == "https")
        return UrlScheme::Https;
    return UrlScheme::Unknown;
}

}

std::optional<CrackedUrl> crack_url(std::string_view url)
{
    const std::unique_ptr<CURLU, UrlClose> handle(curl_url());
    if (!handle)
        return std::nullopt;
    const std::string text(url);
    if (curl_url_set(handle.get(), CURLUPART_URL, text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    const auto scheme = part(handle.get(), CURLUPART_SCHEME);
    const auto host = part(handle.get(), CURLUPART_HOST);
    const auto path = part(handle.get(), CURLUPART_PATH);
    const auto query = part(handle.get(), CURLUPART_QUERY);
    const auto fragment = part(handle.get(), CURLUPART_FRAGMENT);
    const auto user = part(handle.get(), CURLUPART_USER);
    const auto password = part(handle.get(), CURLUPART_PASSWORD);
    if (!scheme || !host || !path || !query || !fragment || !user || !password)
        return std::nullopt;
    CrackedUrl cracked;
    cracked.scheme = scheme_number(*scheme);
    cracked.scheme_name = *scheme;
    cracked.host = *host;
    cracked.path = *path;
    if (!query->empty())
        cracked.extra = "?" + *query;
    if (!fragment->empty())
        cracked.extra += "#" + *fragment;
    if (cracked.extra.size() > max_url_part)
        return std::nullopt;
    cracked.user = *user;
    cracked.password = *password;
    return cracked;
}

}
