#include "components/common/baseinterface/BaseException.h"
#include "components/common/baseinterface/StreamBuffer.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

DWORD general_code(const std::function<void()>& action)
{
    try {
        action();
    } catch (const GeneralException& e) {
        return e.Code();
    }
    return 0;
}

}

TEST(StreamBuffer, NumbersAreWrittenHighByteFirst)
{
    tStreamBuffer buffer;
    buffer.Allocate(12);
    buffer.PushUInt32(0x01020304);
    buffer.PushUInt64(0x1122334455667788ull);
    const std::vector<BYTE> expected{1, 2, 3, 4, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    EXPECT_EQ(std::vector<BYTE>(buffer.Data(), buffer.Data() + 12), expected);
    EXPECT_EQ(buffer.Position(), 12u);
}

TEST(StreamBuffer, PopsReadWhatPushesWrote)
{
    BYTE bytes[] = {0, 0, 0, 1, 0, 0, 0, 2, 0xAB, 0xCD};
    tStreamBuffer buffer;
    buffer.Borrow(bytes, sizeof bytes);
    EXPECT_EQ(buffer.PopUInt64(), (1ull << 32) + 2);
    BYTE tail[2]{};
    buffer.ReadBytes(tail, 2);
    EXPECT_EQ(tail[0], 0xAB);
    EXPECT_EQ(tail[1], 0xCD);
    EXPECT_FALSE(buffer.OwnsData());
}

TEST(StreamBuffer, BoundsAreCheckedBeforeAnyByteMoves)
{
    tStreamBuffer buffer;
    buffer.Allocate(7);
    buffer.PushUInt32(0xAAAAAAAA);
    const BYTE before = buffer.Data()[4] = 0x5A;
    EXPECT_EQ(general_code([&] { buffer.PushUInt32(1); }), GENERAL_ERROR_WRITE_PAST_END);
    EXPECT_EQ(buffer.Data()[4], before);
    EXPECT_EQ(buffer.Position(), 4u);

    const struct {
        const char* what;
        std::function<void()> action;
        DWORD code;
    } cases[] = {
        {"push 64", [&] { buffer.PushUInt64(1); }, GENERAL_ERROR_WRITE_PAST_END},
        {"pop 32", [&] { buffer.PopUInt32(); }, GENERAL_ERROR_READ_PAST_END},
        {"pop 64", [&] { buffer.PopUInt64(); }, GENERAL_ERROR_READ_PAST_END},
        {"read", [&] { BYTE b[4]; buffer.ReadBytes(b, 4); }, GENERAL_ERROR_READ_PAST_END},
        {"skip", [&] { buffer.Skip(4); }, GENERAL_ERROR_SKIP_PAST_END},
        {"write at capacity", [&] { BYTE b = 0; buffer.WriteAt(7, &b, 1); }, GENERAL_ERROR_WRITE_PAST_END},
        {"write over end", [&] { BYTE b[3]{}; buffer.WriteAt(5, b, 3); }, GENERAL_ERROR_WRITE_PAST_END},
        {"write huge length", [&] { BYTE b = 0; buffer.WriteAt(1, &b, 0xFFFFFFFF); }, GENERAL_ERROR_WRITE_PAST_END},
        {"allocate twice", [&] { buffer.Allocate(3); }, GENERAL_ERROR_BAD_ALLOCATE},
        {"allocate empty", [] { tStreamBuffer empty; empty.Allocate(0); }, GENERAL_ERROR_BAD_ALLOCATE},
        {"skip huge", [&] { buffer.Skip(0xFFFFFFFF); }, GENERAL_ERROR_SKIP_PAST_END},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(general_code(c.action), c.code);
        EXPECT_EQ(buffer.Position(), 4u);
    }
}

TEST(StreamBuffer, CopyOwnsItsBytes)
{
    BYTE bytes[] = {9, 8, 7};
    tStreamBuffer borrowed;
    borrowed.Borrow(bytes, 3);
    tStreamBuffer copy;
    copy.Allocate(10);
    copy.CopyFrom(borrowed);
    bytes[0] = 0;
    ASSERT_EQ(copy.Capacity(), 3u);
    EXPECT_TRUE(copy.OwnsData());
    EXPECT_EQ(copy.Data()[0], 9);
    EXPECT_EQ(copy.Data()[2], 7);
}
