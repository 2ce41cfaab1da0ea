#include "platform/dshow/MemAllocator.h"

#include "platform/com/ComPtr.h"

#include <gtest/gtest.h>

#include <thread>

TEST(MemAllocator, HandsOutItsBuffersAndBlocksUntilOneReturns)
{
    plat::ComPtr<IMemAllocator> alloc(new CMemAllocator());
    ALLOCATOR_PROPERTIES want{2, 100, 1, 0}, got{};
    IMediaSample* sample = nullptr;
    EXPECT_EQ(alloc->GetBuffer(&sample, nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    ASSERT_EQ(alloc->SetProperties(&want, &got), S_OK);
    EXPECT_EQ(got.cBuffers, 2);
    ASSERT_EQ(alloc->Commit(), S_OK);

    plat::ComPtr<IMediaSample> a, b;
    ASSERT_EQ(alloc->GetBuffer(a.put(), nullptr, nullptr, 0), S_OK);
    ASSERT_EQ(alloc->GetBuffer(b.put(), nullptr, nullptr, 0), S_OK);
    EXPECT_EQ(a->GetSize(), 100);
    EXPECT_EQ(a->SetActualDataLength(101), VFW_E_BUFFER_OVERFLOW);
    EXPECT_EQ(alloc->SetProperties(&want, &got), VFW_E_ALREADY_COMMITTED);

    std::thread giver([&] { a.reset(); });
    plat::ComPtr<IMediaSample> c;
    EXPECT_EQ(alloc->GetBuffer(c.put(), nullptr, nullptr, 0), S_OK);   // waits for the reset
    giver.join();

    // A waiter is freed by Decommit with an error, not left hanging.
    std::thread decommitter([&] { alloc->Decommit(); });
    plat::ComPtr<IMediaSample> d;
    EXPECT_EQ(alloc->GetBuffer(d.put(), nullptr, nullptr, 0), VFW_E_NOT_COMMITTED);
    decommitter.join();
}

TEST(MemAllocator, ReusedSamplesStartClean)
{
    plat::ComPtr<IMemAllocator> alloc(new CMemAllocator());
    ALLOCATOR_PROPERTIES want{1, 16, 1, 0}, got{};
    ASSERT_EQ(alloc->SetProperties(&want, &got), S_OK);
    ASSERT_EQ(alloc->Commit(), S_OK);
    {
        plat::ComPtr<IMediaSample> s;
        ASSERT_EQ(alloc->GetBuffer(s.put(), nullptr, nullptr, 0), S_OK);
        REFERENCE_TIME t0 = 5, t1 = 6;
        s->SetTime(&t0, &t1);
        s->SetDiscontinuity(TRUE);
        s->SetActualDataLength(9);
    }
    plat::ComPtr<IMediaSample> s;
    ASSERT_EQ(alloc->GetBuffer(s.put(), nullptr, nullptr, 0), S_OK);
    REFERENCE_TIME t0, t1;
    EXPECT_EQ(s->GetTime(&t0, &t1), VFW_E_SAMPLE_TIME_NOT_SET);
    EXPECT_EQ(s->IsDiscontinuity(), S_FALSE);
    EXPECT_EQ(s->GetActualDataLength(), 0);
}
