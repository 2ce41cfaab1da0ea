#include "components/common/libutil/ZLibEncryptHelper.h"
#include "core/http/ConnectionManager.h"
#include "platform/net/testing/LoopbackServer.h"
#include "platform/fs/testing/TempFolder.h"
#include "core/http/tests/TestKeys.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
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
