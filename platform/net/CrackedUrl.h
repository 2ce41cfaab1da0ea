#pragma once
// An address cut into its parts, decoded, as the program's page helpers read
// it: the WinINet cracker's stand-in, over libcurl's URL parser.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

// The scheme numbers callers compare against.
enum class UrlScheme : int { Unknown = -1, Http = 3, Https = 4 };

// Each text part holds at most this many characters; a longer one makes the
// address uncrackable rather than silently cut.
constexpr std::size_t max_url_part = 1024;

struct CrackedUrl {
    UrlScheme scheme = UrlScheme::Unknown;
    std::string scheme_name;   // "http", as written but lower case
    std::string host;
    std::string path;          // "/" when the address has none
    std::string extra;         // "?query#fragment", each with its mark; empty when neither
    std::string user;
    std::string password;
};

// The parts of an absolute address, percent-decoded; none when libcurl
// cannot parse it or a part is longer than max_url_part.
std::optional<CrackedUrl> crack_url(std::string_view url);

// reference read against the absolute address base, as a page reads its links
// ("//host/p" keeps base's scheme, "p" and "/p" its host); none when either
// cannot be parsed.
std::optional<std::string> resolve_url(std::string_view base, std::string_view reference);

}
