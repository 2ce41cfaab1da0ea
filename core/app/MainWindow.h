#pragma once
// The main window: one borderless window whose client area the UI manager
// draws. Its procedure feeds input to the system manager, keeps the frame
// (edges, caption band, size limits), the tray icon and its menu, the About
// box, the power and session messages, the keep-awake state and the private
// messages other threads post to it (toolkit/uimgr/MainWindowMessages.h).

#include "core/app/KeepAwake.h"
#include "core/app/MainFrame.h"
#include "platform/window/Window.h"

class IPrefechManager;

// What the window asks of the rest of the program; the start-up gives the
// real parts, tests a recording double.
class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;
    // The system manager's message entry.
    virtual LRESULT Forward(UINT message, WPARAM wparam, LPARAM lparam) = 0;
    virtual void Redraw() = 0;
    virtual void StopCompose() = 0;
    // The play logic's engine closes.
    virtual void CloseEngine() = 0;
    // Device resources again, after a lost device; under UIRenderMutex.
    virtual void ResetDevice() = 0;
    virtual bool PostUICommand(int id) = 0;
    // The caption band was double-clicked.
    virtual void CaptionDoubleClick() = 0;
    virtual void PauseForTray() = 0;
    virtual void ResumeFromTray() = 0;
    virtual IPrefechManager* Prefetch() = 0;
    virtual void SaveSettings() = 0;
    // The controller ends its logic thread and goes; then the widget tree.
    virtual void DestroyController() = 0;
    virtual void DestroyTree() = 0;
};

class MainWindow {
public:
    static constexpr const WCHAR* ClassName = u"StrimoWindowClass";

    // Null before construction and after destruction.
    static MainWindow* Instance();
    MainWindow(MainWindowHost& host, KeepAwake::Setter keep_awake, ScreenSize screen);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // CS_DBLCLKS, MainWndProc; 0 when the class exists already.
    static ATOM RegisterMainWindowClass(HINSTANCE instance);
    static LRESULT MainWndProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

    // hide: the tray icon goes up (once) and the window hides, pausing what
    // plays; else the window shows and comes to the front, resuming what the
    // tray paused.
    void ShowInTray(HWND hwnd, bool hide);
    DWORD KeepAwakeFlags() const { return m_keep_awake.Flags(); }

private:
    LRESULT on_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_private(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT on_command(HWND hwnd, WPARAM wparam, LPARAM lparam);
    LRESULT on_tray(HWND hwnd, LPARAM mouse);
    LRESULT on_size(HWND hwnd, WPARAM wparam, LPARAM lparam);
    LRESULT on_power(WPARAM event);
    void tray_menu(HWND hwnd);
    void set_prefetch(bool on);
    void close_button(HWND hwnd);
    void device_reset(HWND hwnd);
    void exit_now(HWND hwnd);
    void exit_sequence();

    MainWindowHost& m_host;
    KeepAwake m_keep_awake;
    const ScreenSize m_screen;
    bool m_icon_up{false};
    bool m_exited{false};   // the exit sequence ran: it runs once, whatever asks
};
