#include "splitter/base/PacketQueue.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<Packet> packet(std::size_t size, REFERENCE_TIME start, bool appendable = false)
{
    auto p = std::make_unique<Packet>();
    p->data.assign(size, 0xAB);
    p->rtStart = start;
    p->rtStop = start == INVALID_TIME ? INVALID_TIME : start + 1;
    p->bAppendable = appendable;
    return p;
}

}

TEST(PacketQueue, MergesTimelessPiecesIntoTheTimedTail)
{
    const struct {
        const char* name;
        bool timed_tail;
        bool discontinuity;
        bool with_type;
        std::size_t count;
    } cases[] = {
        {"merged into a timed tail", true, false, false, 1},
        {"tail without a time", false, false, false, 2},
        {"discontinuity", true, true, false, 2},
        {"carries a media type", true, false, true, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PacketQueue q;
        q.Add(packet(100, c.timed_tail ? 0 : INVALID_TIME));
        auto piece = packet(50, INVALID_TIME, true);
        piece->bDiscontinuity = c.discontinuity;
        if (c.with_type) piece->pmt = std::make_unique<CMediaType>();
        q.Add(std::move(piece));
        EXPECT_EQ(q.GetCount(), c.count);
        EXPECT_EQ(q.GetSize(), 150);
        while (q.GetCount() > 0) q.Remove();
        EXPECT_EQ(q.GetSize(), 0);   // the balance comes back to 0 however the pieces went
    }
}

TEST(PacketQueue, PieceAtAnEmptyQueueStandsAlone)
{
    PacketQueue q;
    q.Add(packet(10, INVALID_TIME, true));
    EXPECT_EQ(q.GetCount(), 1u);
}

TEST(PacketQueue, MergedPayloadKeepsOrderAndTheTailsTimes)
{
    PacketQueue q;
    auto head = packet(0, 500);
    head->data = {1, 2};
    q.Add(std::move(head));
    for (BYTE b = 3; b < 200; ++b) {
        auto piece = packet(0, INVALID_TIME, true);
        piece->data = {b};
        q.Add(std::move(piece));
    }
    auto p = q.Remove();
    ASSERT_TRUE(p);
    EXPECT_EQ(p->rtStart, 500);
    ASSERT_EQ(p->data.size(), 199u);
    for (std::size_t i = 0; i < p->data.size(); ++i) EXPECT_EQ(p->data[i], i + 1);
}

TEST(PacketQueue, EndMarkerIsQueuedAndDroppedByRemoveAll)
{
    PacketQueue q;
    q.Add(packet(10, 0));
    q.Add(nullptr);
    EXPECT_EQ(q.GetCount(), 2u);
    EXPECT_TRUE(q.Remove());
    EXPECT_FALSE(q.Remove());
    q.Add(packet(10, 0));
    q.Add(nullptr);
    q.RemoveAll();
    EXPECT_EQ(q.GetCount(), 0u);
    EXPECT_EQ(q.GetSize(), 0);
}
