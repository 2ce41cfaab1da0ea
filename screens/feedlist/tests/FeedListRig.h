#pragma once
// The feed list's views on the generated skin and a headless device, with
// the UI thread's messages pumped by the test (the pictures and pages of
// the views arrive through them), and a widget drawn into a surface whose
// texels the test reads.

#include "toolkit/resmgr/tests/SkinRig.h"

#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/sync/MessageQueue.h"
#include "platform/window/Window.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/render/texture.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/widget.h"

#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace test {

// Dispatches the UI thread's messages until done() holds or the time is up; done()'s last answer.
inline bool pump_until(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20))
{
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (done() || std::chrono::steady_clock::now() > until) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Everything posted so far, dispatched.
inline void pump() { pump_until([] { return false; }, std::chrono::milliseconds(0)); }

// The program's main window (on SDL's dummy driver), made on the test's
// thread and handed to the UI manager: views are written on this thread,
// whichever thread made them.
struct MainWindow {
    plat::ScopedEnvironment no_display{"SDL_VIDEODRIVER", "dummy"};
    HWND hwnd{nullptr};

    MainWindow()
    {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = u"FeedListMain";
        RegisterClassExW(&wc);   // 0 when an earlier test registered it
        hwnd = CreateWindowExW(0, u"FeedListMain", u"main", WS_POPUP, 0, 0, 64, 48, nullptr, nullptr, nullptr, nullptr);
        UI::uiMgr::Instance().SetHwnd(hwnd);
    }
    ~MainWindow()
    {
        UI::uiMgr::Instance().SetHwnd(nullptr);
        DestroyWindow(hwnd);
    }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;
};

struct Texels {
    int width{0};
    int height{0};
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x] & 0xffffffu; }
};

// The widget drawn alone at its position into a cleared surface of that size.
inline Texels draw_widget(UI::widget& w, unsigned width, unsigned height)
{
    std::unique_ptr<RenderEngine::backbuffer> surface(RenderEngine::GetRender()->CreateBackBuffer(width, height, true));
    RenderEngine::PushRenderTarget(surface.get(), true, 255, 0, 0, 0);
    w.UpdateDrawOrigin();
    w.Draw();
    RenderEngine::PopRenderTarget();
    Texels out{int(width), int(height), {}};
    auto* d3d = dynamic_cast<RenderEngine::d3dbackbuffer*>(surface.get());
    auto texture = plat::ComPtr<IDirect3DTexture9>::adopt(d3d->GetTexture()->GetD3DTexture());
    D3DLOCKED_RECT locked{};
    texture->LockRect(0, &locked, nullptr, 0);
    for (unsigned y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(static_cast<const std::byte*>(locked.pBits) + y * locked.Pitch);
        out.pixels.insert(out.pixels.end(), row, row + width);
    }
    texture->UnlockRect(0);
    return out;
}

}
