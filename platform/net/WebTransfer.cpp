#include "platform/net/WebTransfer.h"

#include <curl/curl.h>

#include <mutex>

namespace plat {

void EasyClose::operator()(void* easy) const
{
    curl_easy_cleanup(static_cast<CURL*>(easy));
}

EasyHandle open_web_transfer(const std::string& url)
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    EasyHandle easy{curl_easy_init()};
    if (!easy)
        return easy;
    CURL* e = easy.get();
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, max_web_redirects);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // libcurl's defaults, stated: what a request fetches may decide what the program installs.
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L);
    return easy;
}

}
