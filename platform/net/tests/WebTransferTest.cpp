#include "platform/net/WebTransfer.h"
#include "platform/net/testing/LoopbackServer.h"

#include <gtest/gtest.h>

#include <curl/curl.h>

#include <string>

namespace {

std::size_t collect(char* data, std::size_t size, std::size_t count, void* user)
{
    static_cast<std::string*>(user)->append(data, size * count);
    return size * count;
}

// /hop/N redirects to /hop/N-1 and /hop/0 answers "end"; /to-file redirects
// to a local file.
class WebTransfer : public ::testing::Test {
protected:
    void SetUp() override
    {
        site.redirect_chain("/hop", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("end", "text/plain");
        });
        site.server.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        site.start();
    }

    CURLcode fetch(const std::string& url, std::string& body)
    {
        auto easy = plat::open_web_transfer(url);
        EXPECT_TRUE(easy);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &body);
        return curl_easy_perform(easy.get());
    }

    plat::LoopbackServer<> site;
};

TEST_F(WebTransfer, FollowsRedirectsUpToTheLimitAndOnlyToTheWeb)
{
    const int limit = static_cast<int>(plat::max_web_redirects);
    const struct {
        const char* name;
        std::string url;
        CURLcode result;
        const char* body;
    } cases[] = {
        {"no redirect", site.url("/hop/0"), CURLE_OK, "end"},
        {"as many as allowed", site.url("/hop/" + std::to_string(limit)), CURLE_OK, "end"},
        {"one too many", site.url("/hop/" + std::to_string(limit + 1)), CURLE_TOO_MANY_REDIRECTS, ""},
        {"redirect to a local file", site.url("/to-file"), CURLE_UNSUPPORTED_PROTOCOL, ""},
        {"local file asked", "file:///etc/hostname", CURLE_UNSUPPORTED_PROTOCOL, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string body;
        EXPECT_EQ(fetch(c.url, body), c.result);
        EXPECT_EQ(body, c.body);
    }
}

}
