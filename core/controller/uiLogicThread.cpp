#include "core/controller/uiLogicThread.h"

#include "platform/com/Com.h"
#include "platform/window/Window.h"

#include <chrono>
#include <thread>

namespace UI {

uiLogicThread::~uiLogicThread() { Stop(); }

bool uiLogicThread::Start(uiLogicTarget* target)
{
    std::scoped_lock hold(m_life);
    if (m_stopped || m_thread.joinable())
        return false;
    m_target = target;
    if (!m_thread.start([this] { return run(); }))
        return false;
    m_id = m_thread.id();
    return true;
}

bool uiLogicThread::Post(UINT code, WPARAM wparam, LPARAM lparam, plat::DropPayload drop)
{
    const MSG message{nullptr, WM_USER + code, wparam, lparam, 0};
    for (;;) {
        if (m_stopped) {
            if (drop)
                drop(message);
            return false;
        }
        // The thread's queue exists from Start; only a post before it waits.
        if (const DWORD id = m_id.load())
            return plat::post_thread_message(id, message.message, wparam, lparam, drop);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void uiLogicThread::Stop()
{
    std::scoped_lock hold(m_life);
    if (m_stopped.exchange(true))
        return;
    if (!m_thread.joinable())
        return;
    PostThreadMessageW(m_thread.id(), WM_QUIT, 0, 0);
    m_thread.join();
}

DWORD uiLogicThread::run() noexcept
{
    CoInitialize(nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        if (msg.hwnd || msg.message < WM_USER || msg.message > WM_USER + 0xffff) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            continue;
        }
        std::scoped_lock hold(m_dispatch);
        m_target->OnLogicCommand(msg.message - WM_USER, msg.wParam, msg.lParam);
    }
    CoUninitialize();
    return 0;
}

}
