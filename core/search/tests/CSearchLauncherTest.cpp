#include "core/search/CSearchLauncher.h"
#include "feedparser/pellow/testing/FeedSite.h"

#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "platform/registry/Registry.h"
#include "platform/sync/MessageQueue.h"
#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>
#include <vector>

namespace {

class CSearchLauncherTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(modules.registered());
        // The parser's script searches on the host named in the settings.
        ASSERT_TRUE(feed_testing::set_feed_settings(site.host(), {}));
        plat::current_thread_queue();   // this thread stands for the logic thread
    }

    // The next search result posted to this thread, or null after a long wait.
    static std::unique_ptr<SearchRequest> next_result()
    {
        MSG message{};
        for (int i = 0; i < 6000; ++i) {
            if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                EXPECT_EQ(message.message, WM_USER + CSearchLauncher::ResultCommand);
                return std::unique_ptr<SearchRequest>(reinterpret_cast<SearchRequest*>(message.wParam));
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return nullptr;
    }

    feed_testing::ParserModules modules;
    feed_testing::FeedSite site;
};

}

TEST_F(CSearchLauncherTest, KeywordsReachTheSiteEncodedAndEachSearchPostsItsOwnResult)
{
    site.serve("/feeds/base/videos", feed_testing::feed_xml({{"With media", "http://e.com/1", "http://m.com/1"},
                                                             {"Without", "http://e.com/2", ""}}));
    const struct {
        std::u16string keyword;
        std::string sent;
    } cases[] = {{u"a b", "a+b"}, {u"\u00e9t\u00e9", "%C3%A9t%C3%A9"}, {u"x&y=1", "x%26y%3D1"}};
    {
        CSearchLauncher launcher(GetCurrentThreadId());
        for (const auto& c : cases)
            launcher.StartSearch(c.keyword, "Vazir EZO");
        std::vector<std::string> keywords;
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            auto result = next_result();
            ASSERT_TRUE(result);
            EXPECT_EQ(result->launcher, &launcher);
            EXPECT_EQ(result->site_name, "Vazir EZO");
            EXPECT_TRUE(result->channel);
            keywords.push_back(result->keyword);
            ASSERT_EQ(result->items.size(), 2u);
            const auto& first = result->items.front();
            const auto& second = result->items.back();
            EXPECT_EQ(first.title, "With media");
            EXPECT_EQ(first.original_media_url, "http://m.com/1");
            EXPECT_EQ(second.original_media_url, "http://e.com/2") << "no media: the link";
            EXPECT_EQ(first.id, 0);
            EXPECT_EQ(first.channel_id, -1);
            EXPECT_EQ(first.folder_id, -1);
            EXPECT_NE(first.create_time, 0);
            EXPECT_EQ(first.modify_time, first.create_time);
        }
        std::sort(keywords.begin(), keywords.end());
        for (const auto& c : cases)
            EXPECT_TRUE(std::binary_search(keywords.begin(), keywords.end(), c.sent)) << c.sent;
    }
    const auto targets = site.requests();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sent);
        EXPECT_TRUE(std::any_of(targets.begin(), targets.end(), [&](const std::string& target) {
            return target.find("q=" + c.sent + "&") != std::string::npos;
        }));
    }
}

TEST_F(CSearchLauncherTest, FailedSearchStillPostsAnEmptyResult)
{
    CSearchLauncher launcher(GetCurrentThreadId());
    launcher.StartSearch(u"nothing", "Vazir EZO");   // the site answers 404
    auto result = next_result();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->items.empty());
    EXPECT_FALSE(result->channel);
    EXPECT_EQ(result->keyword, "nothing");
}

TEST_F(CSearchLauncherTest, SearchesEndBeforeTheirLauncherAndNeverPostToAnEndedThread)
{
    site.serve("/feeds/base/videos", feed_testing::feed_xml(feed_testing::numbered_items(3)));
    plat::Thread logic;
    logic.start([] { return DWORD{0}; });
    const DWORD ended = logic.id();
    logic.join();
    {
        CSearchLauncher launcher(ended);
        launcher.StartSearch(u"one", "Vazir EZO");
        launcher.StartSearch(u"two", "Vazir EZO");
    }   // joins both; their results are freed, not left behind
    MSG message{};
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(CSearchLauncherTest, ClosingTheLauncherEndsAStalledSearchWithoutWaitingForItsTimeOut)
{
    ASSERT_TRUE(feed_testing::set_feed_settings(std::nullopt, 600000));   // ten minutes
    site.stall("/feeds/base/videos");
    auto launcher = std::make_unique<CSearchLauncher>(GetCurrentThreadId());
    launcher->StartSearch(u"stalled", "Vazir EZO");
    ASSERT_TRUE(site.wait_for_request("/feeds/base/videos"));
    auto closed = std::async(std::launch::async, [&] { launcher.reset(); });
    // Far below the time-out: the transfer was given up, not waited out.
    const bool ended = closed.wait_for(std::chrono::seconds(60)) == std::future_status::ready;
    site.release();
    closed.wait();
    EXPECT_TRUE(ended);
    auto result = next_result();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->items.empty()) << "the cancelled search posts its empty result";
}
