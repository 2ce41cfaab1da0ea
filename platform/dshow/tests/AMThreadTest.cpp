#include "platform/dshow/AMEvent.h"
#include "platform/dshow/AMThread.h"

#include "platform/base/HResult.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Answers each request with its double; request 0 ends the worker.
class Doubler : public CAMThread {
public:
    ~Doubler() override
    {
        if (ThreadExists()) CallWorker(0);
        Close();
    }
    std::vector<DWORD> seen;

protected:
    DWORD ThreadProc() override
    {
        for (;;) {
            DWORD r = GetRequest();
            seen.push_back(r);
            Reply(r * 2);
            if (r == 0) return 0;
        }
    }
};

}

TEST(AMThread, RepliesToEachRequestInOrderAndRestarts)
{
    Doubler t;
    EXPECT_EQ(t.CallWorker(5), static_cast<DWORD>(E_FAIL));   // no worker yet
    ASSERT_TRUE(t.Create());
    EXPECT_FALSE(t.Create());
    EXPECT_EQ(t.CallWorker(3), 6u);
    EXPECT_EQ(t.CallWorker(21), 42u);
    EXPECT_EQ(t.CallWorker(0), 0u);
    t.Close();
    EXPECT_FALSE(t.ThreadExists());
    ASSERT_TRUE(t.Create());
    EXPECT_EQ(t.CallWorker(4), 8u);
    EXPECT_EQ(t.seen, (std::vector<DWORD>{3, 21, 0, 4}));
}

TEST(AMEvent, ManualStaysSetAutomaticReleasesOneWait)
{
    CAMEvent manual(plat::EventReset::Manual);
    EXPECT_FALSE(manual.Check());
    manual.Set();
    EXPECT_TRUE(manual.Check());
    EXPECT_TRUE(manual.Wait(0));
    manual.Reset();
    EXPECT_FALSE(manual.Wait(1));

    CAMEvent automatic;
    automatic.Set();
    EXPECT_TRUE(automatic.Check());
    EXPECT_FALSE(automatic.Check());
}
