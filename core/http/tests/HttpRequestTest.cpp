#include "components/common/libutil/ZLibEncryptHelper.h"
#include "core/http/ConnectionManager.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/fs/testing/TempFolder.h"
#include "core/http/tests/TestKeys.h"

#include <gtest/gtest.h>

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

using LibUtil::ByteBuffer;

namespace {

template <class Server = httplib::Server>
using Loopback = plat::LoopbackServer<Server>;

}

TEST(HttpRequest, GetAndPostReachTheServerAndFillTheReply)
{
    Loopback<> http;
    http.server.Get("/page", [](const httplib::Request&, httplib::Response& res) { res.set_content("hello", "text/plain"); });
    http.server.Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("got:" + req.body, "text/plain");
    });
    http.start();

    ByteBuffer reply;
    ASSERT_TRUE(LibUtil::HttpRequest(http.url("/page"), 0, reply, nullptr, false));
    EXPECT_EQ(reply.ToString(), "hello");

    ByteBuffer body(std::string_view("a=1"));
    ASSERT_TRUE(LibUtil::HttpRequest(http.url("/echo"), 0, reply, &body, false));
    EXPECT_EQ(reply.ToString(), "got:a=1");
}

TEST(HttpRequest, PortSettingWinsOverTheUrl)
{
    Loopback<> http;
    http.server.Get("/p", [](const httplib::Request&, httplib::Response& res) { res.set_content("port", "text/plain"); });
    http.start();
    ByteBuffer reply;
    ASSERT_TRUE(LibUtil::HttpRequest("http://127.0.0.1/p", static_cast<std::uint16_t>(http.port), reply, nullptr, false));
    EXPECT_EQ(reply.ToString(), "port");
}

TEST(HttpRequest, DecodeReplacesTheReplyWithTheDecodedBytes)
{
    LibUtil::ZLibEncryptHelper codec;
    ByteBuffer encoded;
    ASSERT_TRUE(codec.Encode(ByteBuffer(std::string_view("packed text")), encoded, 0));
    Loopback<> http;
    const std::string wire = encoded.ToString();
    http.server.Get("/z", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(wire, "application/octet-stream");
    });
    http.server.Get("/plain", [](const httplib::Request&, httplib::Response& res) { res.set_content("x", "text/plain"); });
    http.start();

    ByteBuffer reply;
    ASSERT_TRUE(LibUtil::HttpRequest(http.url("/z"), 0, reply, nullptr, true));
    EXPECT_EQ(reply.ToString(), "packed text");

    ByteBuffer kept(std::string_view("before"));
    EXPECT_FALSE(LibUtil::HttpRequest(http.url("/plain"), 0, kept, nullptr, true));
    EXPECT_EQ(kept.ToString(), "before");
}

TEST(HttpRequest, FailuresLeaveTheReplyAsItWas)
{
    Loopback<> http;
    http.server.Get("/slow", [](const httplib::Request&, httplib::Response& res) {
        std::this_thread::sleep_for(std::chrono::seconds(7));
        res.set_content("late", "text/plain");
    });
    http.start();
    Loopback<> closed;   // bound, never listening: nothing answers

    const std::string cases[] = {
        http.url("/missing"),            // 404 is not the document
        http.url("/slow"),               // no answer within the 5 s default
        closed.url("/"),                 // refused
        "file:///etc/passwd",            // only http and https are fetched
        "not a url",
    };
    for (const auto& url : cases) {
        SCOPED_TRACE(url);
        ByteBuffer reply(std::string_view("before"));
        EXPECT_FALSE(LibUtil::HttpRequest(url, 0, reply, nullptr, false));
        EXPECT_EQ(reply.ToString(), "before");
    }
}

TEST(HttpRequest, PostWithoutBodyIsRefusedBeforeAnyTransfer)
{
    ByteBuffer reply;
    ByteBuffer empty;
    LibUtil::RequestSettings settings;
    settings.method = LibUtil::HttpMethod::Post;
    settings.url = "http://127.0.0.1:1/";
    settings.post = &empty;
    settings.reply = &reply;
    EXPECT_EQ(LibUtil::CURLConnectionManager::Instance().CreateConnection(settings), nullptr);
    settings.post = nullptr;
    EXPECT_EQ(LibUtil::CURLConnectionManager::Instance().CreateConnection(settings), nullptr);
    settings.method = LibUtil::HttpMethod::Get;
    settings.reply = nullptr;
    EXPECT_EQ(LibUtil::CURLConnectionManager::Instance().CreateConnection(settings), nullptr);
}

TEST(HttpRequest, TlsPeerWithoutATrustedCertificateIsRefused)
{
    plat::TempFolder folder;
    const auto pair = http_testing::make_self_signed();
    std::ofstream(folder / "cert.pem") << pair.certificate_pem;
    std::ofstream(folder / "key.pem") << pair.key_pem;
    bool served = false;
    {
        Loopback<httplib::SSLServer> https((folder / "cert.pem").c_str(), (folder / "key.pem").c_str());
        https.server.Get("/", [&](const httplib::Request&, httplib::Response& res) {
            served = true;
            res.set_content("secret", "text/plain");
        });
        ASSERT_TRUE(https.server.is_valid());
        https.start();
        ByteBuffer reply(std::string_view("before"));
        EXPECT_FALSE(LibUtil::HttpRequest("https://127.0.0.1:" + std::to_string(https.port) + "/", 0, reply,
                                          nullptr, false));
        EXPECT_EQ(reply.ToString(), "before");
    }
    EXPECT_FALSE(served);
}

// /hop/N redirects N times before "end"; /size/N answers N bytes, with a
// length, and /chunked/N the same without one.
class HttpLimits : public ::testing::Test {
protected:
    void SetUp() override
    {
        http.redirect_chain("/hop", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("end", "text/plain");
        });
        http.server.Get("/to-file", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("file:///etc/hostname");
        });
        http.server.Get(R"(/size/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(std::string(std::stoul(req.matches[1]), 'b'), "application/octet-stream");
        });
        http.server.Get(R"(/chunked/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            const std::size_t size = std::stoul(req.matches[1]);
            res.set_chunked_content_provider("application/octet-stream",
                                             [size](std::size_t offset, httplib::DataSink& sink) {
                                                 const std::size_t part = std::min<std::size_t>(4096, size - offset);
                                                 const std::string block(part, 'c');
                                                 sink.write(block.data(), block.size());
                                                 if (offset + part == size)
                                                     sink.done();
                                                 return true;
                                             });
        });
        http.start();
    }

    Loopback<> http;
};

TEST_F(HttpLimits, RedirectsUpToFiveAndRepliesUpTo64KiB)
{
    const std::size_t limit = LibUtil::default_max_reply;
    const struct {
        std::string path;
        std::optional<std::size_t> size;   // nothing: refused
    } cases[] = {
        {"/hop/5", 3},
        {"/hop/6", {}},
        {"/to-file", {}},
        {"/size/" + std::to_string(limit), limit},
        {"/size/" + std::to_string(limit + 1), {}},
        {"/chunked/" + std::to_string(limit), limit},
        {"/chunked/" + std::to_string(limit + 1), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        ByteBuffer reply(std::string_view("before"));
        EXPECT_EQ(LibUtil::HttpRequest(http.url(c.path), 0, reply, nullptr, false), c.size.has_value());
        EXPECT_EQ(reply.Length(), c.size.value_or(6));
    }
}

TEST_F(HttpLimits, BodyStreamsIntoAFileUpToItsOwnLimit)
{
    plat::TempFolder folder;
    for (const std::size_t size : {std::size_t{200000}, std::size_t{200001}}) {
        SCOPED_TRACE(size);
        const std::string path = folder / "body";
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(fd, 0);
        LibUtil::RequestSettings settings;
        settings.url = http.url("/chunked/" + std::to_string(size));
        settings.reply_file = fd;
        settings.max_reply = 200000;
        LibUtil::HttpConnection* connection = LibUtil::CURLConnectionManager::Instance().CreateConnection(settings);
        ASSERT_NE(connection, nullptr);
        const bool done = connection->Perform();
        const int code = connection->LastResult();
        connection->Release();
        ::close(fd);
        EXPECT_EQ(done, size <= 200000);
        EXPECT_EQ(code, done ? CURLE_OK : CURLE_FILESIZE_EXCEEDED);
        if (done) {
            EXPECT_EQ(std::filesystem::file_size(path), size);
        }
    }
}
