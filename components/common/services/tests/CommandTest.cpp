#include "components/common/services/Command.h"

#include "platform/base/DebugLog.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

tCommandMessage message(DWORD id, std::uintptr_t value = 0)
{
    tCommandMessage m;
    m.SetId(id);
    m.words[2] = value;
    return m;
}

}

TEST(Command, ReceiveWithoutWaitOnAnEmptyQueueAnswersAtOnce)
{
    tCommand queue;
    tCommandMessage out = message(42);
    EXPECT_EQ(queue.Receive(out, false, 0), -1);
    EXPECT_EQ(out.Id(), 0u);
}

TEST(Command, WaitThatRunsOutYieldsTheTimeOutMessage)
{
    tCommand queue;
    tCommandMessage out;
    EXPECT_EQ(queue.Receive(out, true, 50), 1);
    EXPECT_EQ(out.Id(), COMMAND_TIMEOUT_MESSAGE);
}

TEST(Command, MessagesComeOutInOrderAndTheEndMessageSaysStop)
{
    tCommand queue;
    queue.Post(message(1, 10), false);
    queue.Post(message(2, 20), false);
    queue.Post(message(COMMAND_END_MESSAGE), false);
    tCommandMessage out;
    ASSERT_EQ(queue.Receive(out, true, 0), 1);
    EXPECT_EQ(out.Id(), 1u);
    EXPECT_EQ(out.words[2], 10u);
    ASSERT_EQ(queue.Receive(out, true, 0), 1);
    EXPECT_EQ(out.Id(), 2u);
    EXPECT_EQ(queue.Receive(out, true, 0), 0);
}

TEST(Command, EveryPostFromManyThreadsArrivesInEachSendersOrder)
{
    tCommand queue;
    constexpr int per_thread = 500;
    std::vector<std::jthread> senders;
    for (std::uintptr_t t = 0; t < 4; ++t)
        senders.emplace_back([&queue, t] {
            for (std::uintptr_t i = 0; i < per_thread; ++i) queue.Post(message(7, t << 16 | i), false);
        });
    std::uintptr_t next[4]{};
    for (int n = 0; n < 4 * per_thread; ++n) {
        tCommandMessage out;
        ASSERT_EQ(queue.Receive(out, true, 0), 1);
        const std::uintptr_t sender = out.words[2] >> 16;
        ASSERT_LT(sender, 4u);
        EXPECT_EQ(out.words[2] & 0xFFFF, next[sender]++);
    }
}

TEST(Command, PostWithWaitReturnsOnceTheReceiverAnswers)
{
    tCommand queue;
    std::jthread worker([&queue] {
        tCommandMessage in;
        queue.Receive(in, true, 0);
        in.reply->Post(message(99), false);
    });
    EXPECT_EQ(queue.Post(message(3), true), 0);
}

TEST(Command, LeftMessagesAreReportedAndTheirBelongingsFreed)
{
    struct Param : tParamObject {
        bool* deleted;
        explicit Param(bool* d) : deleted(d) {}
        ~Param() override { *deleted = true; }
    };
    bool deleted = false;
    plat::DebugCapture capture;
    {
        tCommand queue;
        tCommandMessage owned = message(12);
        owned.data = new BYTE[16];
        owned.data_length = 16;
        owned.borrowed = false;
        owned.param = new Param(&deleted);
        queue.Post(owned, false);
    }
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(capture.contains("Leak Message: 12"));
}
