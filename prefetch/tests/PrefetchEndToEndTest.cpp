// The prefetch manager with the real download manager and a picture server on 127.0.0.1.

#include "PrefetchFixture.h"

#include "outside/ostrel/tests/TestServer.h"
#include "prefetch/PictureFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace prefetch_test;
using namespace std::chrono_literals;

namespace {

std::string file_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream out;
    out << in.rdbuf();
    return out.str();
}

struct OstrelDeleter {
    void operator()(IOstrel* o) const { ReleaseOstrel(o); }
};

}

TEST_F(Prefetch, PicturesAreFetchedOnceAndNeverTakenHalfWritten)
{
    ostrel_test::TestServer server;
    const std::string slow = ostrel_test::make_bytes(150000, 5), small = ostrel_test::make_bytes(3000, 6);
    server.add("slow.jpg", slow, 40000);
    server.add("small.png", small);
    const std::string slow_url = server.url("slow.jpg"), small_url = server.url("small.png"),
                      missing_url = server.url("missing.gif");
    const std::int64_t channel = add_channel(false);
    const std::int64_t a = add_item(channel, "A", 1, "<img src=\"" + slow_url + "\"><img src=\"" + missing_url + "\">",
                                    1280, false);
    const std::int64_t b = add_item(channel, "B", 2, "<p><img src=\"" + small_url + "\"></p>", 1280, false);

    std::unique_ptr<IOstrel, OstrelDeleter> ostrel(ostrel::create({.stall_time = 10s, .retries = 0, .retry_delay = 10ms}));
    ASSERT_TRUE(ostrel->Init((dir.path() + "/downloads").c_str(), 0));
    lumbrick::Options options;
    options.bind = &bind;
    options.idle_wait_ms = 100;
    manager = std::make_unique<CPrefechMgr>(options);
    ASSERT_TRUE(manager->Init(ostrel.get(), &db, images.c_str()));
    manager->Resume();

    const std::string slow_file = lumbrick::picture_file_name(images, slow_url, bind);
    ASSERT_TRUE(server.wait_sent("slow.jpg", 40000));
    EXPECT_FALSE(lumbrick::picture_present(slow_file)) << "a picture half written is not a picture";
    server.release("slow.jpg");

    ASSERT_TRUE(writes.wait_for_writes(a, 1));
    ASSERT_TRUE(writes.wait_for_writes(b, 1));
    EXPECT_EQ(file_text(slow_file), slow);
    EXPECT_EQ(item(a).display_description,
              "<img src=\"" + slow_file + "\" id=\"imgid_0\"><img src=\"" + missing_url + "\" id=\"imgid_1\">");
    const std::string small_file = lumbrick::picture_file_name(images, small_url, bind);
    EXPECT_EQ(item(b).display_description, "<p><img src=\"" + small_file + "\" id=\"imgid_0\"></p>");
    EXPECT_EQ(file_text(small_file), small);

    // A later item with a picture already stored is rewritten without a request.
    const std::size_t asked_before = server.ranges("slow.jpg").size();
    const std::int64_t c = add_item(channel, "C", 3, "<img src=\"" + slow_url + "\">", 1280, false);
    manager->Wake();
    ASSERT_TRUE(writes.wait_for_writes(c, 1));
    EXPECT_EQ(item(c).display_description, "<img src=\"" + slow_file + "\" id=\"imgid_0\">");
    EXPECT_EQ(server.ranges("slow.jpg").size(), asked_before);
    manager.reset();
}
