#include "platform/devices/Drives.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/window/Window.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>
#include <vector>

// fontconfig keeps its configuration for the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace {

struct Heard {
    WPARAM event;
    DEV_BROADCAST_VOLUME record;
};

std::vector<Heard>& heard()
{
    static std::vector<Heard> log;
    return log;
}

// Copies the record while it is valid: the message's lParam lives only during the call.
LRESULT device_window_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DEVICECHANGE) {
        heard().push_back({wParam, *reinterpret_cast<const DEV_BROADCAST_VOLUME*>(lParam)});
        return TRUE;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}

// A change seen on another thread (the mount watcher's) reaches the window on
// its own thread; each record is freed once, after the window procedure saw it
// (the sanitizer's leak and use-after-free checks watch the rest).
TEST(DeviceChange, RegisteredWindowGetsWmDeviceChangeOnItsThread)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    plat::TempFolder folder;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = device_window_proc;
    wc.lpszClassName = u"DeviceChangeTest";
    ASSERT_NE(RegisterClassExW(&wc), 0);
    HWND window = CreateWindowExW(0, u"DeviceChangeTest", u"devices", WS_POPUP, 0, 0, 64, 64, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    DEV_BROADCAST_HDR filter{sizeof(DEV_BROADCAST_HDR), DBT_DEVTYP_VOLUME, 0};
    HDEVNOTIFY registration = RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(registration, nullptr);

    std::thread watcher([&] {
        plat::VolumeMonitor::instance().use_given_volumes({{'E', plat::DriveKind::Removable, folder.path()}});
        plat::VolumeMonitor::instance().use_given_volumes({{'N', plat::DriveKind::Remote, folder.path()}});
    });
    MSG m;
    while (heard().size() < 3 && GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    watcher.join();

    const struct {
        WPARAM event;
        DWORD unit_mask;
        WORD flags;
    } expected[] = {{DBT_DEVICEARRIVAL, 1u << 4, 0},
                    {DBT_DEVICEREMOVECOMPLETE, 1u << 4, 0},
                    {DBT_DEVICEARRIVAL, 1u << 13, DBTF_NET}};
    ASSERT_EQ(heard().size(), std::size(expected));
    for (std::size_t i = 0; i < heard().size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(heard()[i].event, expected[i].event);
        EXPECT_EQ(heard()[i].record.dbcv_devicetype, DBT_DEVTYP_VOLUME);
        EXPECT_EQ(heard()[i].record.dbcv_size, sizeof(DEV_BROADCAST_VOLUME));
        EXPECT_EQ(heard()[i].record.dbcv_unitmask, expected[i].unit_mask);
        EXPECT_EQ(heard()[i].record.dbcv_flags, expected[i].flags);
    }

    // Unregistered, or destroyed: nothing more is sent.
    EXPECT_TRUE(UnregisterDeviceNotification(registration));
    plat::VolumeMonitor::instance().use_given_volumes({});
    EXPECT_EQ(heard().size(), std::size(expected));
    DestroyWindow(window);
}
