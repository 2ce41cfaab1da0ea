#include "core/controller/uiLogicThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Records each command and whether two ever ran at once.
class Recorder final : public UI::uiLogicTarget {
public:
    void OnLogicCommand(UINT code, WPARAM wparam, LPARAM lparam) override
    {
        if (m_running.fetch_add(1) != 0)
            m_overlapped = true;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        m_running.fetch_sub(1);
        std::scoped_lock hold(m_lock);
        m_seen.push_back({code, wparam, lparam});
        m_arrived.notify_all();
    }

    struct Seen {
        UINT code;
        WPARAM wparam;
        LPARAM lparam;
    };

    std::vector<Seen> wait_for(std::size_t count)
    {
        std::unique_lock hold(m_lock);
        m_arrived.wait_for(hold, std::chrono::seconds(20), [&] { return m_seen.size() >= count; });
        return m_seen;
    }
    bool overlapped() const { return m_overlapped; }

private:
    std::atomic<int> m_running{0};
    std::atomic<bool> m_overlapped{false};
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::vector<Seen> m_seen;   // guarded by m_lock
};

std::atomic<int> drops{0};
void count_drop(const MSG& m)
{
    ++drops;
    delete reinterpret_cast<int*>(m.wParam);
}

TEST(uiLogicThread, FourPostersRunOneCommandAtATimeInEachPostersOrder)
{
    Recorder target;
    UI::uiLogicThread thread;
    ASSERT_TRUE(thread.Start(&target));
    constexpr int per_poster = 200;
    std::vector<std::thread> posters;
    for (int p = 0; p < 4; ++p)
        posters.emplace_back([&, p] {
            for (int i = 0; i < per_poster; ++i)
                EXPECT_TRUE(thread.Post(UINT(p), WPARAM(i), 0));
        });
    for (auto& t : posters)
        t.join();
    const auto seen = target.wait_for(4 * per_poster);
    ASSERT_EQ(seen.size(), 4u * per_poster);
    EXPECT_FALSE(target.overlapped());
    std::map<UINT, WPARAM> next;
    for (const auto& s : seen)
        EXPECT_EQ(s.wparam, next[s.code]++) << "poster " << s.code;
}

TEST(uiLogicThread, APostBeforeStartArrivesOnce)
{
    Recorder target;
    UI::uiLogicThread thread;
    std::thread early([&] { EXPECT_TRUE(thread.Post(15, 7, 8)); });
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    ASSERT_TRUE(thread.Start(&target));
    early.join();
    ASSERT_TRUE(thread.Post(20, 0, 0));
    const auto seen = target.wait_for(2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].code, 15u);
    EXPECT_EQ(seen[0].wparam, 7u);
    EXPECT_EQ(seen[0].lparam, 8);
}

TEST(uiLogicThread, APostAfterStopFailsAtOnceAndFreesItsPayloadOnce)
{
    Recorder target;
    UI::uiLogicThread thread;
    ASSERT_TRUE(thread.Start(&target));
    thread.Stop();
    drops = 0;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(thread.Post(2, WPARAM(new int(1)), 0, &count_drop));
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(40));
    EXPECT_EQ(drops, 1);
    // Stopped before it ever started: no thread waits to take it either.
    UI::uiLogicThread never;
    never.Stop();
    EXPECT_FALSE(never.Post(2, WPARAM(new int(2)), 0, &count_drop));
    EXPECT_EQ(drops, 2);
    EXPECT_FALSE(never.Start(&target));
}

}
