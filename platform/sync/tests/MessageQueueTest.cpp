#include "platform/sync/MessageQueue.h"

#include "platform/sync/Event.h"
#include "platform/sync/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_LOGIC = WM_USER + 2;

// Payloads are heap strings, as the system posts them; the drop frees and counts them,
// and leak detection catches one freed never, a double free one freed twice.
std::atomic<int> dropped{0};

void drop_text(const MSG& m)
{
    delete reinterpret_cast<std::u16string*>(m.wParam);
    ++dropped;
}

WPARAM new_text(const char16_t* text) { return reinterpret_cast<WPARAM>(new std::u16string(text)); }

// Receives with GetMessageW until WM_QUIT, keeping every message; owns what they carry.
struct Received {
    std::vector<MSG> messages;
    int quit_code = -1;

    DWORD pump()
    {
        MSG m;
        while (GetMessageW(&m, nullptr, 0, 0) > 0) messages.push_back(m);
        quit_code = static_cast<int>(m.wParam);
        return 0;
    }
    ~Received()
    {
        for (const MSG& m : messages)
            if (m.message == WM_LOGIC) delete reinterpret_cast<std::u16string*>(m.wParam);
    }
};

class MessageQueueTest : public ::testing::Test {
protected:
    void SetUp() override { dropped = 0; }
};

}

TEST_F(MessageQueueTest, PostBeforeTheReceiverRunsArrivesExactlyOnce)
{
    plat::Event gate(plat::EventReset::Manual, plat::EventState::Clear);
    Received received;
    plat::Thread t;
    ASSERT_TRUE(t.start([&] {
        gate.wait();
        return received.pump();
    }));
    EXPECT_TRUE(plat::post_thread_message(t.id(), WM_LOGIC, new_text(u"\"C:/a.flv\""), 0, drop_text));
    EXPECT_TRUE(PostThreadMessageW(t.id(), WM_QUIT, 7, 0));
    gate.set();
    t.join();
    ASSERT_EQ(received.messages.size(), 1u);
    EXPECT_EQ(received.messages[0].message, WM_LOGIC);
    EXPECT_EQ(received.messages[0].hwnd, nullptr);
    EXPECT_EQ(*reinterpret_cast<std::u16string*>(received.messages[0].wParam), u"\"C:/a.flv\"");
    EXPECT_EQ(received.quit_code, 7);
    EXPECT_EQ(dropped, 0) << "a received payload belongs to the receiver";
}

TEST_F(MessageQueueTest, PostAfterTheThreadEndedFailsAndFreesThePayloadOnce)
{
    plat::Thread t;
    ASSERT_TRUE(t.start([] { return DWORD{0}; }));
    t.join();
    EXPECT_FALSE(plat::post_thread_message(t.id(), WM_LOGIC, new_text(u"late"), 0, drop_text));
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(PostThreadMessageW(t.id(), WM_LOGIC, 1, 2));
    EXPECT_FALSE(plat::post_thread_message(0, WM_LOGIC, new_text(u"nobody"), 0, drop_text));
    EXPECT_EQ(dropped, 2);
}

TEST_F(MessageQueueTest, MessagesLeftWhenTheThreadEndsAreFreedOnce)
{
    plat::Event gate(plat::EventReset::Manual, plat::EventState::Clear);
    plat::Thread t;
    ASSERT_TRUE(t.start([&] { return gate.wait(), DWORD{0}; }));
    for (const char16_t* text : {u"a", u"b", u"c"})
        ASSERT_TRUE(plat::post_thread_message(t.id(), WM_LOGIC, new_text(text), 0, drop_text));
    gate.set();
    t.join();
    EXPECT_EQ(dropped, 3);
}

TEST_F(MessageQueueTest, PostsFromManyThreadsKeepEachPostersOrderAndFullWidthParameters)
{
    Received received;
    plat::Event ready(plat::EventReset::Manual, plat::EventState::Clear);
    plat::Thread t;
    ASSERT_TRUE(t.start([&] {
        MSG m;
        PeekMessageW(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        ready.set();
        return received.pump();
    }));
    ready.wait();
    constexpr int posters = 4, each = 500;
    const WPARAM high = WPARAM{0xFEDC'BA98'7654'3210u};
    std::vector<std::thread> threads;
    for (int p = 0; p < posters; ++p)
        threads.emplace_back([&, p] {
            for (int i = 0; i < each; ++i)
                EXPECT_TRUE(PostThreadMessageW(t.id(), WM_USER + 1, high + i, -1 - p));
        });
    for (auto& th : threads) th.join();
    PostThreadMessageW(t.id(), WM_QUIT, 0, 0);
    t.join();
    ASSERT_EQ(received.messages.size(), std::size_t{posters * each});
    std::vector<WPARAM> next(posters, high);
    for (const MSG& m : received.messages) {
        const auto poster = static_cast<std::size_t>(-1 - m.lParam);
        ASSERT_LT(poster, next.size());
        EXPECT_EQ(m.wParam, next[poster]++);
    }
}

TEST_F(MessageQueueTest, PeekFiltersKeepsOrRemovesAndNeverWaits)
{
    MSG m{};
    EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) << "empty queue";
    const DWORD self = GetCurrentThreadId();
    ASSERT_TRUE(PostThreadMessageW(self, WM_USER + 5, 1, 0));
    ASSERT_TRUE(PostThreadMessageW(self, WM_USER, 2, 0));

    const struct { UINT first, last, remove; bool found; WPARAM wParam; } steps[] = {
        {WM_USER + 1, WM_USER + 4, PM_REMOVE, false, 0},
        {WM_USER, WM_USER, PM_NOREMOVE, true, 2},
        {WM_USER, WM_USER, PM_REMOVE, true, 2},
        {WM_USER, WM_USER, PM_REMOVE, false, 0},
        {0, 0, PM_NOREMOVE, true, 1},
        {0, 0, PM_REMOVE, true, 1},
        {0, 0, PM_REMOVE, false, 0},
    };
    int step = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(step++);
        m = MSG{};
        EXPECT_EQ(PeekMessageW(&m, nullptr, s.first, s.last, s.remove), s.found ? TRUE : FALSE);
        if (s.found) {
            EXPECT_EQ(m.wParam, s.wParam);
        }
    }
    EXPECT_FALSE(PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(MessageQueueTest, QuitMessageComesAfterWhatWasAlreadyPosted)
{
    Received received;
    plat::Thread t;
    ASSERT_TRUE(t.start([&] {
        PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 1, 0);
        PostQuitMessage(3);
        PostThreadMessageW(GetCurrentThreadId(), WM_USER + 1, 2, 0);
        return received.pump();
    }));
    t.join();
    ASSERT_EQ(received.messages.size(), 2u);
    EXPECT_EQ(received.messages[0].wParam, 1u);
    EXPECT_EQ(received.messages[1].wParam, 2u);
    EXPECT_EQ(received.quit_code, 3);
}

TEST_F(MessageQueueTest, AThreadWithoutAQueueCannotBePosted)
{
    DWORD id = 0;
    std::atomic<bool> posted{true};
    plat::Event asked(plat::EventReset::Manual, plat::EventState::Clear);
    std::thread foreign([&] {
        id = GetCurrentThreadId();
        asked.set();
        while (posted) std::this_thread::yield();
        MSG m;
        EXPECT_FALSE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) << "nothing was kept for it";
    });
    asked.wait();
    posted = PostThreadMessageW(id, WM_LOGIC, 0, 0);
    EXPECT_FALSE(posted);
    posted = false;
    foreign.join();
}

TEST_F(MessageQueueTest, DueTimerComesAfterPostedMessagesAndOnlyOnceWhileLate)
{
    plat::MessageQueue queue;
    const UINT_PTR id = queue.set_timer(nullptr, 0, 10, nullptr);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(queue.set_timer(nullptr, 777, 10, nullptr), id + 1) << "an unknown windowless id gets a new one";
    ASSERT_TRUE(queue.kill_timer(nullptr, id + 1));

    MSG first = queue.get({});   // waits for the timer
    EXPECT_EQ(first.message, WM_TIMER);
    EXPECT_EQ(first.wParam, id);
    MSG second = queue.get({});  // and it comes again
    EXPECT_EQ(second.message, WM_TIMER);

    // A posted message goes first even when the timer is overdue; a late timer makes one WM_TIMER.
    plat::Event never(plat::EventReset::Manual, plat::EventState::Clear);
    plat::wait_any({&never}, 40);
    ASSERT_TRUE(queue.post({nullptr, WM_LOGIC, 0, 0, 0}));
    EXPECT_EQ(queue.get({}).message, WM_LOGIC);
    EXPECT_EQ(queue.get({}).message, WM_TIMER);
    EXPECT_FALSE(queue.peek({}, plat::Removal::Remove).has_value());

    EXPECT_TRUE(queue.kill_timer(nullptr, id));
    EXPECT_FALSE(queue.kill_timer(nullptr, id));
}

TEST_F(MessageQueueTest, WindowTimerReplacedByNameAndFilteredByWindow)
{
    plat::MessageQueue queue;
    HWND a = reinterpret_cast<HWND>(0x10);
    HWND b = reinterpret_cast<HWND>(0x20);
    EXPECT_EQ(queue.set_timer(a, 5, 100000, nullptr), 5u);
    EXPECT_EQ(queue.set_timer(a, 5, 10, nullptr), 5u);   // replaces the slow one
    EXPECT_EQ(queue.set_timer(b, 5, 10, nullptr), 5u);
    queue.kill_window_timers(b);
    MSG m = queue.get({a, WM_TIMER, WM_TIMER});
    EXPECT_EQ(m.hwnd, a);
    EXPECT_EQ(m.wParam, 5u);
    EXPECT_FALSE(queue.peek({b, 0, 0}, plat::Removal::Keep).has_value());
}
