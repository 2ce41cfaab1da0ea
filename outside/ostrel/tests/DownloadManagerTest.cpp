#include "outside/ostrel/IOstrel.h"
#include "outside/ostrel/tests/TestServer.h"
#include "outside/ostrel/tests/TestSupport.h"
#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

namespace {

using namespace ostrel_test;
using namespace std::chrono_literals;

struct OstrelDeleter {
    void operator()(IOstrel* o) const { ReleaseOstrel(o); }
};
using OstrelPtr = std::unique_ptr<IOstrel, OstrelDeleter>;

OstrelPtr start_ostrel(const std::filesystem::path& folder, ostrel::Options options = {})
{
    OstrelPtr o(ostrel::create(options));
    EXPECT_TRUE(o->Init(folder.c_str(), 0));
    return o;
}

DownloadTaskInfo task_for(const std::string& key, DWORD id0 = 0)
{
    DownloadTaskInfo t;
    t.key = key;
    t.id[0] = id0;
    t.mode = 1;
    t.quality = 1;
    return t;
}

std::string local_path(const HeardEvent& e)
{
    return plat::utf16_to_utf8(e.record.local_path);
}

class DownloadManagerTest : public ::testing::Test {
protected:
    plat::TempFolder m_folder;
    TestServer m_server;
    EventRecorder m_events;
};

TEST_F(DownloadManagerTest, DownloadsIntoTheCacheAndReportsProgressThenFinished)
{
    const std::string body = make_bytes(300000, 1);
    m_server.add("a.flv", body);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto task = task_for(m_server.url("a.flv"));
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_CHANNEL_VIDEO), 1);
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    ostrel->RemoveListener(&m_events);

    auto events = m_events.events();
    const auto& finished = events.back();
    EXPECT_EQ(finished.record.block.total_size, 300000);
    EXPECT_EQ(read_file(local_path(finished)), body);
    INT_PTR last_bytes = 0;
    INT_PTR last_percent = 0;
    for (const auto& e : events) {
        if (e.code != EVT_DOWNLOAD_PROGRESS)
            continue;
        EXPECT_GE(e.value, last_bytes);
        EXPECT_GE(e.extra, last_percent);
        EXPECT_LE(e.extra, 100);
        last_bytes = e.value, last_percent = e.extra;
    }
    EXPECT_EQ(last_bytes, 300000);
    EXPECT_EQ(ostrel->GetActiveCount(), 0);
}

TEST_F(DownloadManagerTest, TasksSharingOneKeyFetchTheirOwnAddressesAndGoTogether)
{
    // Pictures of one item: one key, an address and a target each.
    const std::string one = make_bytes(5000, 2), two = make_bytes(70000, 3);
    m_server.add("1.jpg", one);
    m_server.add("2.jpg", two);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    const std::string key = "http://site/item.flvThumbnailTask";
    for (const auto* name : {"1.jpg", "2.jpg"}) {
        auto task = task_for(key);
        task.address = m_server.url(name);
        task.local_path = plat::utf8_to_utf16(m_folder / ("img/" + std::string(name)));
        ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PICTURE), 1);
    }
    ASSERT_TRUE(m_events.wait_count(
        [](const HeardEvent& e) { return e.code == EVT_DOWNLOAD_STATE && e.value == DOWNLOAD_FINISHED; }, 2));
    ostrel->RemoveListener(&m_events);
    EXPECT_EQ(read_file(m_folder / "img/1.jpg"), one);
    EXPECT_EQ(read_file(m_folder / "img/2.jpg"), two);

    EXPECT_EQ(ostrel->RemoveTask(nullptr, key.c_str()), 1);
    EXPECT_EQ(ostrel->RemoveTask(nullptr, key.c_str()), 0);
    EXPECT_TRUE(std::filesystem::exists(m_folder / "img/1.jpg")) << "the caller's files stay";
}

TEST_F(DownloadManagerTest, ACallersFileAppearsOnlyWhenWhole)
{
    const std::string body = make_bytes(200000, 9);
    m_server.add("pic.jpg", body, 70000);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto task = task_for("http://site/itemThumbnailTask");
    task.address = m_server.url("pic.jpg");
    const std::filesystem::path target = std::filesystem::path(m_folder.path()) / "pic.jpg";
    task.local_path = plat::utf8_to_utf16(target.string());
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PICTURE), 1);
    ASSERT_TRUE(m_server.wait_sent("pic.jpg", 70000));
    EXPECT_FALSE(std::filesystem::exists(target)) << "a part of a file never stands at the caller's path";
    m_server.release("pic.jpg");
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    ostrel->RemoveListener(&m_events);
    EXPECT_EQ(read_file(target), body);
    for (const auto& entry : std::filesystem::directory_iterator(m_folder.path()))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();

    // Removing the unfinished download of another picture leaves nothing behind either.
    m_server.add("cut.jpg", body, 1000);
    task.address = m_server.url("cut.jpg");
    task.local_path = plat::utf8_to_utf16(m_folder.path() + "/cut.jpg");
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PICTURE), 1);
    ASSERT_TRUE(m_server.wait_sent("cut.jpg", 1000));
    EXPECT_EQ(ostrel->RemoveTask(nullptr, task.key.c_str()), 1);
    EXPECT_FALSE(std::filesystem::exists(m_folder.path() + "/cut.jpg"));
    EXPECT_FALSE(std::filesystem::exists(m_folder.path() + "/cut.jpg.part"));
    EXPECT_EQ(read_file(target), body) << "a finished caller's file stays";
}

TEST_F(DownloadManagerTest, FailuresAreReportedAndNothingHangs)
{
    m_server.add("stall.flv", make_bytes(100000, 4), 0);
    const struct {
        const char* name;
        std::string url;
    } cases[] = {
        {"not found", m_server.url("missing.flv")},
        {"server stalls", m_server.url("stall.flv")},
        {"nobody listens", "http://127.0.0.1:1/x.flv"},
        {"not http", "file:///etc/passwd"},
    };
    auto ostrel = start_ostrel(m_folder.path(), {.stall_time = 1s, .retries = 1, .retry_delay = 10ms});
    ostrel->AddListener(&m_events);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto task = task_for(c.url, 7);
        ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PLAY_NOW), 1);
        EXPECT_TRUE(m_events.wait_state(c.url, DOWNLOAD_FAILED));
        IOstrelItem* item = ostrel->GetItemStore()->Lookup(task.id, "test");
        ASSERT_NE(item, nullptr);
        char byte;
        LONG read = 0;
        EXPECT_EQ(item->Read(0, &byte, 1, &read), OSTREL_CANCELLED);
        item->Release("test");
        EXPECT_EQ(ostrel->RemoveTask(&task, nullptr), 1);
    }
    EXPECT_EQ(ostrel->GetActiveCount(), 0);
    ostrel->RemoveListener(&m_events);
}

TEST_F(DownloadManagerTest, ReaderSeesWhatHasArrivedThroughTheItemStore)
{
    const std::string body = make_bytes(5 * 32768 + 100, 5);
    m_server.add("r.flv", body, 2 * 32768 + 10);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto task = task_for(m_server.url("r.flv"), 0x1234);
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PLAY_NOW), 1);
    ASSERT_TRUE(m_server.wait_sent("r.flv", 2 * 32768 + 10));
    ASSERT_TRUE(m_events.wait_for([](const HeardEvent& e) {
        return e.code == EVT_DOWNLOAD_PROGRESS && e.value >= 2 * 32768;
    }));

    DWORD unknown[4] = {9, 9, 9, 9};
    EXPECT_EQ(ostrel->GetItemStore()->Lookup(unknown, "test"), nullptr);
    IOstrelItem* item = ostrel->GetItemStore()->Lookup(task.id, "test");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->TotalSize(), static_cast<LONGLONG>(body.size()));
    EXPECT_EQ(item->Downloaded(), 2 * 32768);
    EXPECT_EQ(item->SegmentState(1), OSTREL_OK);
    EXPECT_EQ(item->SegmentState(2), OSTREL_NOT_ARRIVED);

    std::string buffer(40000, '\0');
    LONG read = -1;
    const struct {
        const char* name;
        LONGLONG offset;
        LONG size;
        LONG result;
        LONG read;
    } before[] = {
        {"inside the present part", 100, 1000, OSTREL_OK, 1000},
        {"across the edge: short read", 60000, 40000, OSTREL_OK, 2 * 32768 - 60000},
        {"missing", 2 * 32768 + 5, 10, OSTREL_NOT_ARRIVED, 0},
        {"past the end", static_cast<LONGLONG>(body.size()), 10, OSTREL_END_OF_CONTENT, 0},
    };
    for (const auto& c : before) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(item->Read(c.offset, buffer.data(), c.size, &read), c.result);
        EXPECT_EQ(read, c.read);
        EXPECT_EQ(buffer.substr(0, static_cast<std::size_t>(read)),
                  body.substr(static_cast<std::size_t>(c.offset), static_cast<std::size_t>(read)));
    }

    m_server.release("r.flv");
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    EXPECT_EQ(item->Read(5 * 32768, buffer.data(), 1000, &read), OSTREL_OK);
    EXPECT_EQ(read, 100) << "the last segment is short";
    EXPECT_EQ(ostrel->RemoveTask(&task, nullptr), 1);
    EXPECT_EQ(item->Read(0, buffer.data(), 10, &read), OSTREL_CANCELLED);
    EXPECT_FALSE(std::filesystem::exists(local_path(m_events.events().back()))) << "a cache file goes with its task";
    item->Release("test");
    ostrel->RemoveListener(&m_events);
}

TEST_F(DownloadManagerTest, AFinishedFileIsAnnouncedToANewTaskWithoutFetchingAgain)
{
    m_server.add("f.flv", make_bytes(40000, 6));
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto prefetch = task_for(m_server.url("f.flv"));
    ASSERT_EQ(ostrel->AddTask(&prefetch, OSTREL_KIND_CHANNEL_VIDEO), 1);
    ASSERT_TRUE(m_events.wait_state(prefetch.key, DOWNLOAD_FINISHED));

    auto play = task_for(m_server.url("f.flv"), 42);
    ASSERT_EQ(ostrel->AddTask(&play, OSTREL_KIND_PLAY_NOW), 1);
    ASSERT_TRUE(m_events.wait_for([](const HeardEvent& e) {
        return e.code == EVT_DOWNLOAD_STATE && e.value == DOWNLOAD_FINISHED && e.record.id[0] == 42;
    }));
    EXPECT_EQ(m_server.ranges("f.flv").size(), 1u);

    // Dropping the player's task keeps the file the prefetch task still holds.
    EXPECT_EQ(ostrel->RemoveTask(&play, nullptr), 1);
    EXPECT_TRUE(std::filesystem::exists(local_path(m_events.events().back())));
    ostrel->RemoveListener(&m_events);
}

TEST_F(DownloadManagerTest, PauseResumeAndMoveSteerTheTransfer)
{
    const std::string body = make_bytes(10 * 32768, 7);
    m_server.add("m.flv", body, 32768);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto task = task_for(m_server.url("m.flv"), 5);
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_PLAY_NOW), 1);
    ASSERT_TRUE(m_events.wait_for([](const HeardEvent& e) {
        return e.code == EVT_DOWNLOAD_PROGRESS && e.value >= 32768;
    }));
    EXPECT_EQ(ostrel->GetActiveCount(), 1);

    EXPECT_EQ(ostrel->Pause(task.key.c_str()), 1);
    EXPECT_EQ(ostrel->GetActiveCount(), 0);
    EXPECT_EQ(ostrel->MoveTransfer(&task, 0, 7 * 32768 + 5), 1);
    m_server.release("m.flv");
    EXPECT_EQ(ostrel->Resume(task.key.c_str()), 1);
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    ostrel->RemoveListener(&m_events);

    auto ranges = m_server.ranges("m.flv");
    ASSERT_GE(ranges.size(), 3u);
    EXPECT_EQ(ranges[0], "bytes=0-") << "the size is not known yet";
    EXPECT_EQ(ranges[1], "bytes=229376-327679") << "moved to the segment of the position";
    EXPECT_EQ(ranges[2], "bytes=32768-229375") << "then the gap before it";
    EXPECT_EQ(read_file(local_path(m_events.events().back())), body);
}

TEST_F(DownloadManagerTest, OfflineStopsTransfersAndOnlineResumesThem)
{
    const std::string body = make_bytes(4 * 32768, 10);
    m_server.add("o.flv", body, 2 * 32768);
    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    auto task = task_for(m_server.url("o.flv"));
    ASSERT_EQ(ostrel->AddTask(&task, OSTREL_KIND_USER_VIDEO), 1);
    ASSERT_TRUE(m_events.wait_for([](const HeardEvent& e) {
        return e.code == EVT_DOWNLOAD_PROGRESS && e.value >= 2 * 32768;
    }));
    ostrel->SetOnline(FALSE);
    m_server.release("o.flv");
    ostrel->SetOnline(TRUE);
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    ostrel->RemoveListener(&m_events);
    auto ranges = m_server.ranges("o.flv");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_EQ(ranges[1], "bytes=65536-131071");
    EXPECT_EQ(read_file(local_path(m_events.events().back())), body);
}

TEST_F(DownloadManagerTest, TasksComeBackAfterARestartAndResume)
{
    const std::string body = make_bytes(8 * 32768, 8);
    m_server.add("s.flv", body, 3 * 32768);
    auto task = task_for(m_server.url("s.flv"), 77);
    {
        auto first = start_ostrel(m_folder.path());
        ASSERT_EQ(first->AddTask(&task, OSTREL_KIND_USER_VIDEO), 1);
        ASSERT_TRUE(m_server.wait_sent("s.flv", 3 * 32768));
        IOstrelItem* item = nullptr;
        for (int i = 0; i < 600 && (!item || item->Downloaded() < 3 * 32768); ++i) {
            if (item)
                item->Release("test");
            std::this_thread::sleep_for(50ms);
            item = first->GetItemStore()->Lookup(task.id, "test");
        }
        ASSERT_EQ(item->Downloaded(), 3 * 32768);
        item->Release("test");
    }
    m_server.release("s.flv");
    auto second = start_ostrel(m_folder.path());
    second->AddListener(&m_events);
    ASSERT_TRUE(m_events.wait_state(task.key, DOWNLOAD_FINISHED));
    second->RemoveListener(&m_events);
    EXPECT_EQ(m_server.ranges("s.flv").back(), "bytes=98304-262143");
    EXPECT_EQ(read_file(local_path(m_events.events().back())), body);
}

TEST_F(DownloadManagerTest, ResumesAfterTheDownloadingProcessIsKilled)
{
    const std::string body = make_bytes(64 * 32768 + 123, 9);
    m_server.add("k.flv", body, 20 * 32768);
    const std::string url = m_server.url("k.flv");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(OSTREL_DEMO, OSTREL_DEMO, m_folder.path().c_str(), url.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_TRUE(m_server.wait_sent("k.flv", 20 * 32768));
    // Let the child store what it received before it dies.
    std::this_thread::sleep_for(300ms);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    m_server.release("k.flv");

    auto ostrel = start_ostrel(m_folder.path());
    ostrel->AddListener(&m_events);
    ASSERT_TRUE(m_events.wait_state(url, DOWNLOAD_FINISHED));
    ostrel->RemoveListener(&m_events);
    auto ranges = m_server.ranges("k.flv");
    ASSERT_EQ(ranges.size(), 2u);
    EXPECT_NE(ranges[1].rfind("bytes=0-", 0), 0u) << "the second run resumes where the first stopped: " << ranges[1];
    EXPECT_EQ(read_file(local_path(m_events.events().back())), body);
}

TEST_F(DownloadManagerTest, RefusesTasksItCannotServe)
{
    OstrelPtr bare(CreateOstrel());
    auto task = task_for(m_server.url("x"));
    EXPECT_EQ(bare->AddTask(&task, 0), 0) << "not initialised";
    EXPECT_FALSE(bare->Init(nullptr, 0));
    ASSERT_TRUE(bare->Init(m_folder.path().c_str(), 0));
    EXPECT_FALSE(bare->Init(m_folder.path().c_str(), 0)) << "initialised once";
    DownloadTaskInfo empty;
    EXPECT_EQ(bare->AddTask(&empty, 0), 0);
    EXPECT_EQ(bare->AddTask(nullptr, 0), 0);
    EXPECT_EQ(bare->RemoveTask(nullptr, nullptr), 0);
    EXPECT_EQ(bare->Pause(nullptr), 0);
    EXPECT_EQ(bare->GetItemStore()->Lookup(nullptr, "test"), nullptr);
}

}
