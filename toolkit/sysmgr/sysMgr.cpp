#include "toolkit/sysmgr/sysMgr.h"

#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/window.h"

#include "playback/compose/VMRServer.h"
#include "platform/window/Messages.h"

namespace UI {

sysMgr& sysMgr::Instance()
{
    static sysMgr* manager = new sysMgr;   // never freed: the window procedure reaches it to the end
    return *manager;
}

sysMgr::~sysMgr()
{
    if (!m_compose)
        return;
    m_compose->Stop();
    m_compose->Release();
}

bool sysMgr::Init(HWND main)
{
    uiMgr& ui = uiMgr::Instance();
    ui.SetHwnd(main);
    RenderEngine::render* render = m_parts->CreateRender(main);
    m_compose = new VMRServer;
    m_compose->AddRef();
    m_compose->Start(render);
    m_parts->LoadSkin();
    m_parts->InitRenderTargets();
    m_parts->CreateScreens();
    // The UI manager above the video, so it is drawn over it and offered input first.
    if (IUo* video = m_parts->VideoLayer())
        m_compose->AddLayer(video);
    m_compose->AddLayer(&ui);
    GlobalEventSet::Instance().GetEvent("tooltips_target", true)->Subscribe(&uiMgr::OnTooltipTarget, &ui);
    m_parts->SubscribeControllerEvents();
    m_parts->BuildTree();
    m_parts->StartController();
    return true;
}

LRESULT sysMgr::OnMessage(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_SIZE) {
        if (wparam == SIZE_MINIMIZED)
            return 0;
        // The compose thread never draws a half-resized tree.
        CMutexGuard hold(UIRenderMutex());
        if (!uiMgr::Instance().GetRoot())
            return 0;
        uiMgr::Instance().Resize();
        if (m_parts)
            m_parts->PlaceScreens();
        Redraw(1);
    }
    if (message == WM_ACTIVATE || message == WM_SETFOCUS || message == WM_KILLFOCUS)
        return uiMgr::Instance().OnMessage(message, wparam, lparam);
    return m_compose ? m_compose->HitTest(message, wparam, lparam) : 0;
}

void sysMgr::Redraw(int flag)
{
    window* root = uiMgr::Instance().GetRoot();
    if (!root)
        return;
    root->Invalidate();
    if (m_parts)
        m_parts->InvalidateBackground(flag);
}

}
