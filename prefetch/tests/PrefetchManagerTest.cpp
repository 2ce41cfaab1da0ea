#include "PrefetchFixture.h"

#include "components/common/regutil/CUTILregEx.h"
#include "platform/fs/Folders.h"
#include "prefetch/PictureFiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace prefetch_test;

namespace {

std::vector<std::string> videos(const std::vector<Submission>& all)
{
    std::vector<std::string> out;
    for (const Submission& s : all)
        if (s.mode == 1)
            out.push_back(std::to_string(s.kind) + ":" + s.key.substr(std::string("http://media/").size()));
    return out;
}

std::vector<Submission> pictures(const std::vector<Submission>& all)
{
    std::vector<Submission> out;
    for (const Submission& s : all)
        if (s.kind == OSTREL_KIND_PICTURE)
            out.push_back(s);
    return out;
}

void run_sql(const std::string& path, const char* sql)
{
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
    // The manager's worker may be reading: wait for its lock as another program would.
    sqlite3_busy_timeout(raw, 10000);
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
}

void write_file(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

}

TEST_F(Prefetch, PassesRunInOrderAndGiveWayToABusyDownloader)
{
    const std::int64_t prefetching = add_channel(true);
    const std::int64_t plain = add_channel(false);
    const std::int64_t disabled = add_channel(true, true);
    const std::int64_t pending = add_item(plain, "P", 1);
    const std::int64_t pending_retry3 = add_item(plain, "Q", 1, "", 83);
    const std::int64_t pending_done = add_item(plain, "D", 1);
    add_item(plain, "F", 1, "", 0, true, true);
    add_item(prefetching, "N1", 1);
    add_item(prefetching, "N2", 2);
    add_item(prefetching, "R", 3, "", 81);
    add_item(plain, "X", 4);
    add_item(disabled, "Z", 5);
    ASSERT_EQ(db.InsertItemDownloadInfo({pending, 4, 0, 50, 0}), 0);
    ASSERT_EQ(db.InsertItemDownloadInfo({pending_retry3, 4, 0, 50, 0}), 0);
    ASSERT_EQ(db.InsertItemDownloadInfo({pending_done, 4, 0, 100, 0}), 0);

    const struct {
        const char* name;
        bool favourites;
        int active_base;
        std::size_t busy_after;
        std::vector<std::string> submitted;
    } cases[] = {
        {"every pass", true, 0, 0, {"2:P", "1:F", "0:N2", "0:N1", "0:R"}},
        {"favourites off", false, 0, 0, {"2:P", "0:N2", "0:N1", "0:R"}},
        {"busy from the start", true, 5, 0, {"2:P"}},
        {"busy after a channel submission", true, 0, 3, {"2:P", "1:F", "0:N2"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DownloaderDouble double_;
        double_.active_base = c.active_base;
        double_.busy_after = c.busy_after;
        lumbrick::Options options;
        options.bind = &bind;
        CPrefechMgr cycle(options);
        cycle.SetFavouritesFlag(c.favourites);
        ASSERT_TRUE(cycle.Init(&double_, &db, images.c_str()));
        EXPECT_EQ(cycle.IsRunning(), 0);
        cycle.Resume();
        EXPECT_EQ(cycle.IsRunning(), 1);
        ASSERT_TRUE(double_.wait_for_submissions(c.submitted.size()));
        cycle.Uninit();
        EXPECT_EQ(videos(double_.submissions()), c.submitted);
        for (const Submission& s : double_.submissions()) {
            EXPECT_EQ(s.quality, 2);
            EXPECT_TRUE(s.local_path.empty());
        }
    }
}

TEST_F(Prefetch, PicturesPointAtLocalFilesOnceStored)
{
    const std::int64_t channel = add_channel(false);
    const std::string present = "http://pics/present.jpg";
    const std::string missing = "http://pics/missing.png?size=2";
    const std::string description = "<p id=\"imgid_0\">clip</p><img src=\"" + present + "\"><img src=\"" + missing +
                                    "\"><img src=\"data:image/png;base64,AAAA\"><img src=\"" + missing + "\">";
    const std::int64_t id = add_item(channel, "T", 1, description, 1280, false);
    {
        RSSData::tRSSItem record = item(id);
        record.media_thumbnail_url = missing;
        ASSERT_EQ(db.UpdateItem(record), 0);
    }
    ASSERT_TRUE(plat::create_folder_tree(images));
    const std::string present_file = lumbrick::picture_file_name(images, present, bind);
    const std::string missing_file = lumbrick::picture_file_name(images, missing, bind);
    write_file(present_file, "jpeg bytes");

    start();
    ASSERT_TRUE(downloader.wait_for_submissions(1));
    const std::vector<Submission> asked = pictures(downloader.submissions());
    ASSERT_EQ(asked.size(), 1u);   // the present one is not fetched, the repeated one once
    EXPECT_EQ(asked[0].key, "http://media/TThumbnailTask");
    EXPECT_EQ(asked[0].address, missing);
    EXPECT_EQ(asked[0].local_path, missing_file);
    EXPECT_EQ(asked[0].mode, 0);
    EXPECT_FALSE(item(id).mark_hd);

    downloader.fire(asked[0], DOWNLOAD_FINISHED);
    ASSERT_TRUE(writes.wait_for_writes(id, 2));   // the thumbnail url set above, then the write-back
    const RSSData::tRSSItem written = item(id);
    EXPECT_TRUE(written.mark_hd);
    EXPECT_EQ(written.local_thumb_file_path, missing_file);
    EXPECT_EQ(written.display_description,
              "<p id=\"imgid_0\">clip</p><img src=\"" + present_file + "\" id=\"imgid_0\"><img src=\"" + missing_file +
                  "\" id=\"imgid_1\"><img src=\"data:image/png;base64,AAAA\" id=\"imgid_2\"><img src=\"" + missing_file +
                  "\" id=\"imgid_3\">");
    stop();
    EXPECT_EQ(downloader.removed_keys(), std::vector<std::string>{"http://media/TThumbnailTask"});
}

TEST_F(Prefetch, AJobWaitsForEveryPictureAndAFailedOneKeepsItsAddress)
{
    const std::int64_t channel = add_channel(false);
    const std::int64_t id =
        add_item(channel, "T", 1, "<img src=\"http://p/1.jpg\"><img src=\"http://p/2.jpg\">", 1280, false);
    add_item(channel, "F", 2, "", 0, true, true);   // the favourites pass comes after the job
    start();
    ASSERT_TRUE(downloader.wait_for_submissions(2));
    const std::vector<Submission> asked = pictures(downloader.submissions());
    ASSERT_EQ(asked.size(), 2u);
    downloader.fire(asked[0], DOWNLOAD_FINISHED);
    EXPECT_FALSE(item(id).mark_hd);   // one of two ended: the job still waits
    EXPECT_EQ(downloader.submissions().size(), 2u);
    downloader.fire(asked[1], DOWNLOAD_FAILED);
    ASSERT_TRUE(writes.wait_for_writes(id, 1));
    const RSSData::tRSSItem written = item(id);
    EXPECT_TRUE(written.mark_hd);
    EXPECT_EQ(written.display_description, "<img src=\"" + asked[0].local_path + "\" id=\"imgid_0\"><img src=\"http://p/2.jpg\" id=\"imgid_1\">");
    ASSERT_TRUE(downloader.wait_for_submissions(3));   // the cycle went on (the events wake the next one too)
    EXPECT_EQ(videos(downloader.submissions()).front(), "1:F");
    stop();
}

TEST_F(Prefetch, AnEventRacingTheSubmissionIsCounted)
{
    const std::int64_t channel = add_channel(false);
    const std::int64_t id = add_item(channel, "T", 1, "<img src=\"http://p/1.jpg\">", 1280, false);
    downloader.on_add = [&](const Submission& s) {
        if (s.kind == OSTREL_KIND_PICTURE)
            downloader.fire(s, DOWNLOAD_FINISHED);   // a file already whole is reported at once
    };
    lumbrick::Options options;
    options.job_wait_ms = 120000;
    start(options);
    ASSERT_TRUE(writes.wait_for_writes(id, 1));
    EXPECT_TRUE(item(id).mark_hd);
    stop();
}

TEST_F(Prefetch, UninitCutsAWaitingJobShort)
{
    const std::int64_t channel = add_channel(false);
    const std::int64_t id = add_item(channel, "T", 1, "<img src=\"http://p/1.jpg\">", 1280, false);
    lumbrick::Options options;
    options.job_wait_ms = 120000;
    start(options);
    ASSERT_TRUE(downloader.wait_for_submissions(1));
    manager->Pause();   // a cycle under way goes on
    stop();             // returns long before the job's time is up
    EXPECT_FALSE(item(id).mark_hd);
    EXPECT_EQ(downloader.removed_keys(), std::vector<std::string>{"http://media/TThumbnailTask"});
}

// An Uninit that comes while the worker is between two jobs ends the cycle
// there: the next job never starts, so nothing waits out a job's time.
TEST_F(Prefetch, UninitBetweenTwoJobsStartsNoOther)
{
    const std::int64_t channel = add_channel(false);
    add_item(channel, "A", 1, "<img src=\"http://p/a.jpg\">", 1280, false);
    add_item(channel, "B", 2, "<img src=\"http://p/b.jpg\">", 1280, false);
    std::mutex lock;
    std::condition_variable changed;
    bool between = false;
    downloader.on_remove = [&](const std::string&) {
        // The first job has ended; the worker goes on only once Uninit has begun.
        {
            std::scoped_lock hold(lock);
            between = true;
        }
        changed.notify_all();
        downloader.wait_for_unlisten();
    };
    lumbrick::Options options;
    options.job_wait_ms = 20000;   // what the second job would wait
    start(options);
    ASSERT_TRUE(downloader.wait_for_submissions(1));
    downloader.fire(pictures(downloader.submissions())[0], DOWNLOAD_FINISHED);
    {
        std::unique_lock hold(lock);
        ASSERT_TRUE(changed.wait_for(hold, std::chrono::seconds(30), [&] { return between; }));
    }
    stop();
    EXPECT_EQ(pictures(downloader.submissions()).size(), 1u) << "no second job";
    EXPECT_EQ(downloader.removed_keys().size(), 1u);
}

// New items of a prefetching channel go in pages of up to ten, newest first,
// at offsets 0, 5, 10, ... below the count: consecutive pages overlap by five.
TEST_F(Prefetch, ChannelItemsAreWalkedInOverlappingPages)
{
    const struct {
        int count;
        std::vector<int> offsets;
    } cases[] = {{5, {0}}, {6, {0, 5}}, {12, {0, 5, 10}}, {15, {0, 5, 10}}};
    std::size_t walked_in_all = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        const std::string prefix = "c" + std::to_string(c.count) + "_";
        const std::int64_t channel = add_channel(true);
        std::vector<std::string> newest_first;
        for (int i = 0; i < c.count; ++i) {
            add_item(channel, prefix + std::to_string(i), 100 + i);
            newest_first.insert(newest_first.begin(), "0:" + prefix + std::to_string(i));
        }
        std::vector<std::string> expected;
        for (const int offset : c.offsets)
            for (int i = offset; i < std::min(offset + 10, c.count); ++i)
                expected.push_back(newest_first[std::size_t(i)]);

        DownloaderDouble double_;
        lumbrick::Options options;
        options.bind = &bind;
        CPrefechMgr cycle(options);
        ASSERT_TRUE(cycle.Init(&double_, &db, images.c_str()));
        cycle.Resume();
        // The earlier cases' channels are walked again too.
        walked_in_all += expected.size();
        ASSERT_TRUE(double_.wait_for_submissions(walked_in_all));
        cycle.Uninit();
        std::vector<std::string> walked;
        for (const std::string& v : videos(double_.submissions()))
            if (v.rfind("0:" + prefix, 0) == 0)
                walked.push_back(v);
        EXPECT_EQ(walked, expected);
    }
}

TEST_F(Prefetch, AFailedVideoClimbsTheRetryStatusesAndKeepsTheMarks)
{
    const std::int64_t channel = add_channel(false);
    start();
    manager->Pause();
    const struct { int from; int to; } cases[] = {{0, 80}, {80, 81}, {88, 89}, {89, 90}, {90, 80}, {1280, 80}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.from);
        const std::int64_t id = add_item(channel, "V" + std::to_string(c.from), 7, "kept", c.from, true, true);
        DownloadTaskInfo record;
        record.key = "http://media/V" + std::to_string(c.from);
        record.mode = 1;
        EXPECT_EQ(manager->OnEvent(&record, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0), 1);
        EXPECT_EQ(manager->OnEvent(&record, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0), 1);   // changes nothing
        EXPECT_EQ(manager->OnEvent(&record, EVT_DOWNLOAD_PROGRESS, 10, 50), 1);              // ignored
        const RSSData::tRSSItem after = item(id);
        EXPECT_EQ(after.status(), c.to);
        EXPECT_TRUE(after.mark_favorite);
        EXPECT_TRUE(after.mark_hd);
        EXPECT_EQ(after.display_description, "kept");
    }
}

TEST_F(Prefetch, DisabledPrefetchNeverRunsButAnswersEveryCall)
{
    CUTILregEx(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", KEY_WRITE).SetDWORD(u"DisablePrefech", 1);
    add_item(add_channel(true), "N", 1);
    start();
    EXPECT_EQ(manager->Resume(), 0);
    EXPECT_EQ(manager->Wake(), 1);
    EXPECT_EQ(manager->Wake(3, 4), 1);
    EXPECT_TRUE(manager->Uninit());
    EXPECT_TRUE(downloader.submissions().empty());
}

TEST_F(Prefetch, ADatabaseThatFailsEndsTheCycleNotTheWorker)
{
    add_item(add_channel(true), "N", 1);
    // Another program takes the items table away: every read of it raises.
    const std::string path = dir.path() + "/Rss.db";
    run_sql(path, "ALTER TABLE rssitem RENAME TO hidden;");
    DownloadTaskInfo record;
    record.key = "http://media/N";
    record.mode = 1;
    lumbrick::Options options;
    options.idle_wait_ms = 50;
    start(options);
    EXPECT_EQ(manager->OnEvent(&record, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0), 1);
    run_sql(path, "ALTER TABLE hidden RENAME TO rssitem;");
    manager->Wake();
    EXPECT_TRUE(downloader.wait_for_submissions(1));   // a later cycle reads again
    stop();
}

TEST_F(Prefetch, ImageFolderDefaultsAndGainsItsSeparator)
{
    plat::ScopedEnvironment data("XDG_DATA_HOME", (dir.path() + "/data").c_str());
    const std::int64_t channel = add_channel(false);
    add_item(channel, "T", 1, "<img src=\"http://p/1.jpg\">", 1280, false);
    const struct { const char* given; std::string prefix; } cases[] = {
        {"", dir.path() + "/data/Corvalen/Strimo/Image/"},
        {nullptr, dir.path() + "/data/Corvalen/Strimo/Image/"},
        {"pics", "pics/"},
    };
    const std::string pics = dir.path() + "/pics";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.prefix);
        DownloaderDouble double_;
        lumbrick::Options options;
        options.bind = &bind;
        CPrefechMgr cycle(options);
        const std::string given = c.given && *c.given ? pics : std::string(c.given ? c.given : "");
        ASSERT_TRUE(cycle.Init(&double_, &db, c.given ? given.c_str() : nullptr));
        cycle.Resume();
        ASSERT_TRUE(double_.wait_for_submissions(1));
        cycle.Uninit();
        const std::string want = c.given && *c.given ? pics + "/" : c.prefix;
        EXPECT_EQ(double_.submissions()[0].local_path.rfind(want, 0), 0u) << double_.submissions()[0].local_path;
        EXPECT_TRUE(std::filesystem::is_directory(want));
    }
}

TEST_F(Prefetch, NullArgumentsAreRefused)
{
    CPrefechMgr refused;
    EXPECT_FALSE(refused.Init(nullptr, &db, nullptr));
    EXPECT_FALSE(refused.Init(&downloader, nullptr, nullptr));
    EXPECT_TRUE(refused.Uninit());
}

TEST_F(Prefetch, EventsArrivingWhileTheWorkerWritesAreAllKept)
{
    const std::int64_t channel = add_channel(false);
    const std::int64_t pictured = add_item(channel, "T", 1, "<img src=\"http://p/1.jpg\">", 1280, false);
    std::vector<std::int64_t> failing;
    for (int i = 0; i < 8; ++i)
        failing.push_back(add_item(channel, "V" + std::to_string(i), 1));
    start();
    ASSERT_TRUE(downloader.wait_for_submissions(1));
    std::thread other([&] {
        for (int round = 0; round < 5; ++round)
            for (int i = 0; i < 8; ++i)
                downloader.fire({2, "http://media/V" + std::to_string(i), "", "", 1, 2}, DOWNLOAD_FAILED);
    });
    downloader.fire(pictures(downloader.submissions())[0], DOWNLOAD_FINISHED);
    other.join();
    ASSERT_TRUE(writes.wait_for_writes(pictured, 1));
    for (std::int64_t id : failing)
        EXPECT_EQ(item(id).status(), 84);   // 0, then 80 to 84
    stop();
}
