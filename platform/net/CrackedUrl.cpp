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

// libcurl reads an empty reference, or one of only "?…" or "#…", against the
// base's folder; a page reads it against the base's own path, so those parts
// are set alone.
bool set_reference(CURLU* url, const std::string& reference)
{
    if (!reference.empty() && reference[0] != '?' && reference[0] != '#')
        return curl_url_set(url, CURLUPART_URL, reference.c_str(), CURLU_NON_SUPPORT_SCHEME) == CURLUE_OK;
    const std::size_t mark = reference.find('#');
    const std::string fragment = mark == std::string::npos ? std::string() : reference.substr(mark + 1);
    if (!reference.empty() && reference[0] == '?') {
        const std::string query = reference.substr(1, mark == std::string::npos ? std::string::npos : mark - 1);
        if (curl_url_set(url, CURLUPART_QUERY, query.empty() ? nullptr : query.c_str(), 0) != CURLUE_OK)
            return false;
    }
    return curl_url_set(url, CURLUPART_FRAGMENT, fragment.empty() ? nullptr : fragment.c_str(), 0) == CURLUE_OK;
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

std::optional<std::string> resolve_url(std::string_view base, std::string_view reference)
{
    const std::unique_ptr<CURLU, UrlClose> handle(curl_url());
    if (!handle)
        return std::nullopt;
    const std::string base_text(base), reference_text(reference);
    if (curl_url_set(handle.get(), CURLUPART_URL, base_text.c_str(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK ||
        !set_reference(handle.get(), reference_text))
        return std::nullopt;
    char* text = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &text, 0) != CURLUE_OK)
        return std::nullopt;
    std::string resolved(text);
    curl_free(text);
    return resolved;
}

}
