#include "components/common/libutil/ByteBuffer.h"

#include <gtest/gtest.h>

using LibUtil::ByteBuffer;

TEST(ByteBuffer, CopyOwnsItsBytesWhileBorrowSeesTheSource)
{
    std::string source = "abc";
    ByteBuffer copy(source);
    ByteBuffer borrowed(source, ByteBuffer::Storage::Borrow);
    source[0] = 'x';
    EXPECT_EQ(copy.ToString(), "abc");
    EXPECT_FALSE(copy.Borrowed());
    EXPECT_EQ(borrowed.ToString(), "xbc");
    EXPECT_TRUE(borrowed.Borrowed());
    EXPECT_EQ(borrowed.Data(), reinterpret_cast<const BYTE*>(source.data()));
}

TEST(ByteBuffer, CopyOfABorrowedBufferOwnsACopy)
{
    std::string source = "shared";
    ByteBuffer borrowed(source, ByteBuffer::Storage::Borrow);
    ByteBuffer target("old contents");
    target = borrowed;
    source.assign("gone!!");
    EXPECT_FALSE(target.Borrowed());
    EXPECT_EQ(target.ToString(), "shared");
}

TEST(ByteBuffer, ClearLeavesNoData)
{
    ByteBuffer buffer("abc");
    buffer.Clear();
    EXPECT_EQ(buffer.Data(), nullptr);
    EXPECT_EQ(buffer.Length(), 0u);
    EXPECT_EQ(buffer.ToString(), "");
}

TEST(ByteBuffer, KeepsZeroBytesInsideAndATerminatorPastTheLength)
{
    const BYTE bytes[] = {'a', 0, 'b'};
    ByteBuffer buffer(bytes, sizeof bytes);
    EXPECT_EQ(buffer.Length(), 3u);
    EXPECT_EQ(buffer.ToString(), std::string("a\0b", 3));
    EXPECT_EQ(buffer.Data()[3], 0);
}

TEST(ByteBuffer, MoveTakesTheBytesAlong)
{
    ByteBuffer source("moved");
    const BYTE* data = source.Data();
    ByteBuffer target(std::move(source));
    EXPECT_EQ(target.Data(), data);
    EXPECT_EQ(target.ToString(), "moved");
}
