#include "Recorder.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/window/Messages.h"
#include "platform/window/Tray.h"
#include "platform/window/testing/PrivateBus.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr UINT WM_TRAY_NOTIFY = 578;
constexpr UINT icon_id = 128;

bool has_owner(sd_bus* bus, const std::string& name)
{
    sd_bus_message* reply = nullptr;
    int owned = 0;
    if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                           "NameHasOwner", nullptr, &reply, "s", name.c_str()) >= 0)
        sd_bus_message_read(reply, "b", &owned);
    sd_bus_message_unref(reply);
    return owned != 0;
}

class StatusNotifier : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"SniTest", recording_proc, 0);
        m_hwnd = CreateWindowExW(0, u"SniTest", u"sni test", WS_POPUP | WS_VISIBLE, 0, 0, 200, 100, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_icon = {sizeof(NOTIFYICONDATAW), m_hwnd, icon_id, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_TRAY_NOTIFY, nullptr,
                  u"Strimo"};
        drain();
        received().clear();
    }
    void TearDown() override { DestroyWindow(m_hwnd); }

    PrivateBus session;
    plat::ScopedEnvironment address{"DBUS_SESSION_BUS_ADDRESS", session.address().c_str()};
    HWND m_hwnd = nullptr;
    NOTIFYICONDATAW m_icon{};
};

}

TEST_F(StatusNotifier, TheIconIsAnItemOfTheWatcherAndItsClicksComeAsTheIconsMessages)
{
    WatcherDouble watcher(session);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    const auto items = watcher.registered();
    ASSERT_EQ(items.size(), 1u);
    const std::string service = items[0];
    BusPtr host = session.connect();
    char* title = nullptr;
    ASSERT_GE(sd_bus_get_property_string(host.get(), service.c_str(), "/StatusNotifierItem",
                                         "org.kde.StatusNotifierItem", "Title", nullptr, &title),
              0);
    EXPECT_STREQ(title, "Strimo");
    free(title);
    const struct {
        const char* method;
        LPARAM mouse;
    } clicks[] = {{"Activate", WM_LBUTTONDBLCLK}, {"ContextMenu", WM_RBUTTONDOWN}};
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.method);
        ASSERT_GE(sd_bus_call_method(host.get(), service.c_str(), "/StatusNotifierItem", "org.kde.StatusNotifierItem",
                                     c.method, nullptr, nullptr, "ii", 10, 20),
                  0);
        EXPECT_TRUE(wait_for_message({WM_TRAY_NOTIFY, icon_id, c.mouse}));
    }
    // The icon reaches it, so hiding hides for real, not minimised as without a tray.
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_TRUE(SDL_GetWindowFlags(sdl_window_titled("sni test")) & SDL_WINDOW_HIDDEN);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &m_icon));
    EXPECT_FALSE(has_owner(host.get(), service)) << "the item left the bus with its icon";
}

TEST_F(StatusNotifier, WithoutAWatcherTheStandInKeepsTheWindowReachable)
{
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_FALSE(SDL_GetWindowFlags(sdl_window_titled("sni test")) & SDL_WINDOW_HIDDEN)
        << "kept minimised in the desktop's window list";
    Shell_NotifyIconW(NIM_DELETE, &m_icon);
}
