#include "downloader/zephrol/tests/LoopbackServer.h"

#include "components/common/murrel/Murrel.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

pid_t spawn_child(const std::string& folder, const std::string& url)
{
    const std::string program = ZEPHROL_DOWNLOAD_CHILD;
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>(folder.c_str()),
                            const_cast<char*>(url.c_str()), nullptr};
    pid_t pid = -1;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// Counts the ranged requests the server has answered and lets the test wait for more.
class RequestCount {
public:
    void add()
    {
        std::scoped_lock hold(m_lock);
        ++m_count;
        m_changed.notify_all();
    }
    int count()
    {
        std::scoped_lock hold(m_lock);
        return m_count;
    }
    bool wait_for(int at_least)
    {
        std::unique_lock hold(m_lock);
        return m_changed.wait_for(hold, std::chrono::seconds(60), [&] { return m_count >= at_least; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_count{0};   // guarded by m_lock
};

}

// A download process killed five times half way, then run to its end: the
// content is whole, and ".data" holds no more than the content and one run
// (slots written after a save that a kill lost are used again).
TEST(CrashSafety, ADownloadKilledFiveTimesResumesToTheWholeContent)
{
    const DWORD total = 16 * 1024 * 1024;
    const std::string content = make_content(total, 47);
    RequestCount requests;
    LoopbackServer server([&](const HttpRequest& r) {
        // Runs of segments: a connection asks for its next run once the last is in the cache.
        const std::string range = r.header("range");
        if (!range.empty() && range != "bytes=1000-2000") requests.add();
        return reply_with_content(content, r, {.stall_after = 65536, .stall_ms = 20});
    });
    plat::TempFolder folder;
    const std::string url = server.url("/v.flv");
    for (int kill = 0; kill < 5; ++kill) {
        SCOPED_TRACE(kill);
        const int before = requests.count();
        const pid_t child = spawn_child(folder.path(), url);
        ASSERT_GT(child, 0);
        ASSERT_TRUE(requests.wait_for(before + 5));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the download ended before it was killed";
    }
    const pid_t last = spawn_child(folder.path(), url);
    ASSERT_GT(last, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(last, &status, 0), last);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);

    IMurrel* cache = CreateMurrel("test");
    ASSERT_EQ(cache->Initialize(1ull << 32, (folder.path() + "/").c_str()), RESULT_OK);
    tContentKey key;
    key.words[0] = 7;
    IDataCacheItem* item = cache->FindItem(key, "test");
    ASSERT_NE(item, nullptr);
    std::string stored(total, '\0');
    DWORD read = 0;
    item->ReadData(reinterpret_cast<BYTE*>(stored.data()), 0, total, &read, false, 0, {});
    EXPECT_EQ(read, total);
    EXPECT_TRUE(stored == content);
    item->Release("test");
    cache->Uninitialize();
    DeleteMurrel(cache, "test");
    std::uintmax_t data_size = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().extension() == ".data") data_size = entry.file_size();
    EXPECT_LE(data_size, total + 20 * 32768);
}
