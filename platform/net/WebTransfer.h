#pragma once
// A libcurl easy handle set up the way every web request of the program is:
// http and https only, also across redirects, at most five of which are
// followed, TLS peers and host names verified, and no signals (transfers run
// on worker threads).

#include <memory>
#include <string>

namespace plat {

constexpr long max_web_redirects = 5;

struct EasyClose {
    void operator()(void* easy) const;   // curl_easy_cleanup
};
using EasyHandle = std::unique_ptr<void, EasyClose>;   // holds a CURL*

// A handle ready to fetch url; the caller adds what its request needs and
// performs it. Empty when libcurl has no memory. libcurl's global state is
// initialised on the first call.
EasyHandle open_web_transfer(const std::string& url);

}
