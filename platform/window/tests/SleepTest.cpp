#include "Recorder.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/window/Messages.h"
#include "platform/window/Power.h"
#include "platform/window/testing/PrivateBus.h"

#include <gtest/gtest.h>

#include <algorithm>

// The system bus is read once per process, at the first window: this case has
// a test program of its own, whose bus is started before any window, also when
// the whole program runs in one process (as under ThreadSanitizer).
TEST(PowerEvents, WakingFromSleepIsAResumeBroadcast)
{
    PrivateBus system;
    plat::ScopedEnvironment address("DBUS_SYSTEM_BUS_ADDRESS", system.address().c_str());
    use_dummy_video();
    register_class(u"SleepTest", recording_proc, 0);
    HWND hwnd = CreateWindowExW(0, u"SleepTest", u"sleep test", WS_POPUP, 0, 0, 200, 100, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(hwnd, nullptr);
    received().clear();
    BusPtr logind = system.connect();
    ASSERT_TRUE(logind);
    ASSERT_GE(sd_bus_request_name(logind.get(), "org.freedesktop.login1", 0), 0);
    for (int going_to_sleep : {1, 0})
        ASSERT_GE(sd_bus_emit_signal(logind.get(), "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                     "PrepareForSleep", "b", going_to_sleep),
                  0);
    sd_bus_flush(logind.get());
    EXPECT_TRUE(wait_for_message({WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0}));
    EXPECT_EQ(std::count(received().begin(), received().end(), Received{WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0}),
              1)
        << "going to sleep is not a resume";
    DestroyWindow(hwnd);
}
