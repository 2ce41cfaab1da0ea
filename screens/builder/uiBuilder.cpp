#include "screens/builder/uiBuilder.h"

#include "screens/builder/UIIds.h"
#include "screens/video/IBaseUIPlay.h"
#include "screens/video/uibgLayer.h"
#include "screens/video/videoplaywindow.h"
#include "toolkit/controls/wselectbtn.h"
#include "toolkit/controls/wtip.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/focusgroup.h"
#include "toolkit/widgets/window.h"

#include "core/settings/CAppSettings.h"

#include <algorithm>
#include <cassert>

namespace UI {
namespace {

// The builder is made and used on the UI thread only.
uiBuilder*& singleton()
{
    static uiBuilder* builder = nullptr;
    return builder;
}

// The player interface's way to the builder.
void make_control_bar()
{
    if (uiBuilder* builder = uiBuilder::Instance()) builder->CreateControlBar();
}

}  // namespace

uiBuilder::uiBuilder()
{
    RegisterSingleton(this);
    IBaseUIPlay::SetControlBarMaker(&make_control_bar);
}

uiBuilder::~uiBuilder()
{
    uiMgr& manager = uiMgr::Instance();
    if (m_root && manager.GetRoot() == m_root.get()) {
        CMutexGuard hold(UIRenderMutex());
        manager.SetRoot(nullptr);
        manager.SetOverlayRoot(nullptr);
        manager.SetClient(nullptr);
        manager.SetVideoWindow(nullptr);
        if (m_control_bar && manager.GetControlBar() == m_control_bar) manager.SetControlBar(nullptr);
        manager.SetTooltip(nullptr);
        manager.SetFocusGroup(nullptr);
        manager.SetTitleWindow(nullptr);
        for (auto frame : {uiMgr::Frame::Top, uiMgr::Frame::Left, uiMgr::Frame::Bottom, uiMgr::Frame::Right})
            manager.SetFrame(frame, nullptr);
    }
    if (singleton() == this) {
        ClearSingleton();
        IBaseUIPlay::SetControlBarMaker(nullptr);
    }
}

void uiBuilder::RegisterSingleton(uiBuilder* builder) { singleton() = builder; }

void uiBuilder::ClearSingleton() { singleton() = nullptr; }

uiBuilder* uiBuilder::Instance() { return singleton(); }

void uiBuilder::SetPageButtonCount(int count)
{
    m_page_button_count = std::clamp(count, 0, ids::LastPageSelect - ids::FirstPageSelect + 1);
}

bool uiBuilder::BuildUI()
{
    assert(m_root == nullptr && CAppSettings::Instance());
    CMutexGuard hold(UIRenderMutex());
    BuildRoots();
    // Each region adds its widgets to the parents made before it; later
    // parts of the screens take their place in this order.
    static constexpr Region regions[] = {
        &uiBuilder::BuildSettingWindow,
        &uiBuilder::BuildFrames,        &uiBuilder::BuildFeedTree,      &uiBuilder::BuildFeedList,
        &uiBuilder::BuildPaging,        &uiBuilder::BuildSearchBox,     &uiBuilder::BuildSettingButton,
        &uiBuilder::BuildOperationBars, &uiBuilder::BuildLoadingPage,   &uiBuilder::BuildControlBar,
        &uiBuilder::BuildEmptyPrompt,   &uiBuilder::BuildDragWindow,    &uiBuilder::BuildRightPane,
    };
    for (Region region : regions) (this->*region)();

    uiMgr& manager = uiMgr::Instance();
    m_title = std::make_unique<window>("title-window");
    manager.SetTitleWindow(m_title.get());
    auto* tip = new wtip("");
    manager.SetTooltip(tip);
    m_root->AddChild(tip);
    m_root->Show(true);
    m_root->UpdateLayout();
    return true;
}

void uiBuilder::CreateControlBar()
{
    if (!m_client || !m_bottom) return;
    CMutexGuard hold(UIRenderMutex());
    BuildControlBar();
    m_client->UpdateLayout();
}

void uiBuilder::BuildRoots()
{
    const CAppSettings& settings = *CAppSettings::Instance();
    const auto screen_width = static_cast<unsigned>(settings.GetMetric(2));
    const auto screen_height = static_cast<unsigned>(settings.GetMetric(3));
    const CAppSettings::ClientArea area = settings.GetClientArea();
    uiMgr& manager = uiMgr::Instance();

    m_root = std::make_unique<window>("root");
    m_root->SetSize(settings.GetMetric(4), settings.GetMetric(5));
    auto* ui_root = new window("rootui");
    m_ui_root = ui_root;
    if (settings.GetMetric(14) != 0) ui_root->CreateBackBuffer(screen_width, screen_height);
    m_root->AddChild(ui_root);
    ui_root->SetPosRule(1, 1, 0, 0);
    ui_root->SetSizeRule(2, 2, -1, -1);

    auto* video = new videoplaywindow("videoplaywindow");
    video->CreateChildren();
    RegisterWidget(video->GetName(), ids::VideoPlayWindow, video);
    manager.SetVideoWindow(video);
    // Added before the client, so the video is drawn under it.
    ui_root->AddChild(video);

    m_client = new window("client");
    m_client->SetPos(area.x, area.y);
    m_client->SetSize(area.width, area.height);
    for (widget* w : {static_cast<widget*>(m_root.get()), static_cast<widget*>(ui_root), static_cast<widget*>(m_client)})
        w->SetMouseTransparent(true);
    ui_root->AddChild(m_client);
    RegisterWidget(m_client->GetName(), ids::Client, m_client);
    if (uibgLayer* background = uibgLayer::Instance()) {
        background->SetPos(area.x, area.y);
        background->SetSize(area.width, area.height);
    }

    m_focus_group = std::make_unique<focusgroup>();
    manager.SetRoot(m_root.get());
    manager.SetOverlayRoot(ui_root);
    manager.SetClient(m_client);
    manager.SetFocusGroup(m_focus_group.get());
}

}
