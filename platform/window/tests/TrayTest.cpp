#include "Recorder.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/window/Tray.h"

#include <gtest/gtest.h>

namespace {

constexpr UINT WM_TRAY_NOTIFY = 578;
constexpr UINT icon_id = 128;

// Answers the tray's double click as the program does: it shows itself.
LRESULT program_proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_TRAY_NOTIFY && lParam == WM_LBUTTONDBLCLK) ShowWindow(hwnd, SW_SHOW);
    return recording_proc(hwnd, message, wParam, lParam);
}

class Tray : public ::testing::Test {
protected:
    void SetUp() override
    {
        use_dummy_video();
        register_class(u"TrayTest", program_proc, 0);
        m_hwnd = CreateWindowExW(0, u"TrayTest", u"tray test", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, nullptr,
                                 nullptr, nullptr, nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_icon = {sizeof(NOTIFYICONDATAW), m_hwnd, icon_id, NIF_MESSAGE | NIF_ICON | NIF_TIP, WM_TRAY_NOTIFY, nullptr, u"Strimo"};
        drain();
        received().clear();
    }
    void TearDown() override
    {
        DestroyWindow(m_hwnd);
        drain();
    }

    void push_window_event(SDL_WindowEventID event)
    {
        SDL_Event e{};
        e.window.type = SDL_WINDOWEVENT;
        e.window.windowID = SDL_GetWindowID(sdl_window_titled("tray test"));
        e.window.event = event;
        SDL_PushEvent(&e);
        drain();
    }

    // The desktop's tray, if the session has one, is not this stand-in's.
    plat::ScopedEnvironment no_session_bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"};
    HWND m_hwnd = nullptr;
    NOTIFYICONDATAW m_icon{};
};

const Received tray_double_click{WM_TRAY_NOTIFY, icon_id, WM_LBUTTONDBLCLK};

bool has(const Received& m) { return std::find(received().begin(), received().end(), m) != received().end(); }

}

TEST_F(Tray, OneIconPerWindow)
{
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &m_icon));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &m_icon));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &m_icon));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &m_icon));
    NOTIFYICONDATAW nowhere = m_icon;
    nowhere.hWnd = nullptr;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &nowhere));
}

TEST_F(Tray, HiddenInTheTrayStaysMinimisedAndARestoreAsksLikeADoubleClick)
{
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_TRUE(IsIconic(m_hwnd)) << "still in the desktop's window list";
    EXPECT_TRUE(has({WM_SIZE, SIZE_MINIMIZED, 0}));

    received().clear();
    push_window_event(SDL_WINDOWEVENT_RESTORED);
    EXPECT_TRUE(has(tray_double_click));
    EXPECT_TRUE(IsWindowVisible(m_hwnd)) << "the program showed itself";
    EXPECT_FALSE(IsIconic(m_hwnd));

    received().clear();
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(has(tray_double_click)) << "only a window in the tray asks";

    ShowWindow(m_hwnd, SW_HIDE);
    received().clear();
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(has(tray_double_click)) << "a late notice of the focus it had changes nothing";
    push_window_event(SDL_WINDOWEVENT_FOCUS_LOST);
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_TRUE(has(tray_double_click)) << "focus given back by the desktop brings it back too";
}

TEST_F(Tray, WithoutAnIconHidingHides)
{
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_FALSE(IsIconic(m_hwnd));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &m_icon));
    ShowWindow(m_hwnd, SW_HIDE);
    EXPECT_TRUE(IsIconic(m_hwnd));
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &m_icon));
    received().clear();
    push_window_event(SDL_WINDOWEVENT_FOCUS_GAINED);
    EXPECT_FALSE(has(tray_double_click)) << "the icon is gone: nothing asks";
}

TEST_F(Tray, PopupMenuPostsTheChosenCommandToItsOwner)
{
    HMENU menu = CreatePopupMenu();
    ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 1100, u"Start Strimo"));
    ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 1101, u"Enable prefetch"));
    ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 1103, u"Exit"));
    static auto push_to_menu = [](SDL_Event e) {
        SDL_Window* sdl = sdl_window_titled("menu");
        ASSERT_NE(sdl, nullptr);
        e.key.windowID = SDL_GetWindowID(sdl);   // the same slot in every event kind
        SDL_PushEvent(&e);
    };
    // Clicks the second item once the menu waits.
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
        KillTimer(nullptr, id);
        SDL_Event e{};
        e.button = {SDL_MOUSEBUTTONDOWN, 0, 0, 0, SDL_BUTTON_LEFT, SDL_PRESSED, 1, 0, 50, 36};
        push_to_menu(e);
        e.button.type = SDL_MOUSEBUTTONUP;
        e.button.state = SDL_RELEASED;
        push_to_menu(e);
    });
    EXPECT_TRUE(TrackPopupMenu(menu, TPM_BOTTOMALIGN | TPM_RIGHTALIGN, 500, 400, 0, m_hwnd, nullptr));
    drain();
    EXPECT_TRUE(has({WM_COMMAND, 1101, 0}));

    // Escape leaves it: nothing chosen, nothing posted; Enter chooses nothing either.
    for (SDL_Keycode key : {SDLK_ESCAPE, SDLK_RETURN}) {
        static SDL_Keycode pressed;
        pressed = key;
        SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR id, DWORD) {
            KillTimer(nullptr, id);
            SDL_Event e{};
            e.key.type = SDL_KEYDOWN;
            e.key.keysym.sym = pressed;
            push_to_menu(e);
            if (pressed == SDLK_RETURN) {
                e.key.keysym.sym = SDLK_ESCAPE;
                push_to_menu(e);
            }
        });
        received().clear();
        EXPECT_EQ(TrackPopupMenu(menu, TPM_RETURNCMD, 10, 10, 0, m_hwnd, nullptr), 0);
        drain();
        EXPECT_FALSE(std::any_of(received().begin(), received().end(), [](const Received& m) { return m.message == WM_COMMAND; }));
    }
    EXPECT_TRUE(DestroyMenu(menu));
    EXPECT_FALSE(TrackPopupMenu(menu, 0, 0, 0, 0, m_hwnd, nullptr));
}
