#include "platform/com/Com.h"
#include "platform/sync/MessageQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// A thread that allows cancellation and waits until told to finish.
class CancellableThread {
public:
    CancellableThread()
    {
        m_thread = std::thread([this] {
            CoEnableCallCancellation(nullptr);
            std::unique_lock hold(m_lock);
            m_id = GetCurrentThreadId();
            m_changed.notify_all();
            m_changed.wait(hold, [this] { return m_finish; });
            m_seen = CoTestCancel();
        });
        std::unique_lock hold(m_lock);
        m_changed.wait(hold, [this] { return m_id != 0; });
    }
    DWORD id() const { return m_id; }
    HRESULT finish()
    {
        {
            std::scoped_lock hold(m_lock);
            m_finish = true;
            m_changed.notify_all();
        }
        m_thread.join();
        return m_seen;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    DWORD m_id = 0;        // guarded by m_lock
    bool m_finish = false; // guarded by m_lock
    HRESULT m_seen = S_OK;
    std::thread m_thread;
};

}

TEST(CallCancel, OnlyTheCancelledThreadSeesItAndOnlyWhileItAllowsIt)
{
    EXPECT_EQ(CoTestCancel(), RPC_S_CALLPENDING);
    EXPECT_EQ(CoCancelCall(GetCurrentThreadId(), 0), CO_E_CANCEL_DISABLED) << "not allowed yet";
    EXPECT_EQ(CoDisableCallCancellation(nullptr), CO_E_CANCEL_DISABLED);

    CancellableThread cancelled, left;
    EXPECT_EQ(CoCancelCall(cancelled.id(), 0), S_OK);
    EXPECT_EQ(CoTestCancel(), RPC_S_CALLPENDING) << "another thread's cancel";
    EXPECT_EQ(cancelled.finish(), RPC_E_CALL_CANCELED);
    EXPECT_EQ(left.finish(), RPC_S_CALLPENDING);
    EXPECT_EQ(CoCancelCall(cancelled.id(), 0), CO_E_CANCEL_DISABLED) << "an ended thread leaves the table";

    ASSERT_EQ(CoEnableCallCancellation(nullptr), S_OK);
    ASSERT_EQ(CoCancelCall(GetCurrentThreadId(), 0), S_OK);
    EXPECT_EQ(CoTestCancel(), RPC_E_CALL_CANCELED);
    EXPECT_EQ(CoTestCancel(), RPC_E_CALL_CANCELED) << "a cancel holds";
    EXPECT_EQ(CoDisableCallCancellation(nullptr), S_OK);
    EXPECT_EQ(CoTestCancel(), RPC_S_CALLPENDING);
    EXPECT_EQ(CoEnableCallCancellation(nullptr), S_OK);
    EXPECT_EQ(CoTestCancel(), RPC_S_CALLPENDING) << "allowed anew, nothing cancelled yet";
    CoDisableCallCancellation(nullptr);
}
