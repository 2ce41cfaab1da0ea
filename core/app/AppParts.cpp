#include "core/app/AppParts.h"

#include "components/common/services/FeedHost.h"
#include "core/controller/uiLogic.h"
#include "screens/builder/uiBuilder.h"
#include "core/settings/CAppSettings.h"
#include "core/updater/CRSSUpdater.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/Utf.h"
#include "platform/window/Cursor.h"
#include "platform/window/Window.h"
#include "playback/compose/VMRServer.h"
#include "playback/playlogic/PlayerLayers.h"
#include "playback/playlogic/ScreensPlayHost.h"
#include "playback/playlogic/uiLogicFilePlay.h"
#include "prefetch/IPrefechManager.h"
#include "screens/video/uiVideoLayer.h"
#include "toolkit/render/render.h"
#include "toolkit/render/D3D9Render.h"
#include "toolkit/resmgr/MainRender.h"

#include <string>
#include <vector>

namespace {

std::string settings_path(int slot)
{
    const WCHAR* path = CAppSettings::Instance()->GetPath(slot);
    return path ? plat::utf16_to_utf8(path) : std::string();
}

}

AppParts::AppParts() = default;

// The player's layers hold textures of the renderer's device: they go first.
AppParts::~AppParts()
{
    m_controller.reset();
    m_player.reset();
    UI::ReleaseMainRender(m_render);
}

RenderEngine::render* AppParts::CreateRender(HWND main)
{
    m_main = main;
    m_render = UI::CreateMainRender(m_resources, main);
    return m_render;
}

void AppParts::LoadSkin() { m_resources.LoadSkin(u""); }

void AppParts::InitRenderTargets() { RenderEngine::InitRenderTargets(); }

void AppParts::CreateScreens()
{
    m_builder = std::make_unique<UI::uiBuilder>();
    m_player = std::make_unique<UI::PlayerLayers>(m_render);
    m_controller = std::make_unique<UI::uiLogic>(ControllerParts(m_main, m_player->Visualization()));
}

IUo* AppParts::VideoLayer() { return m_player ? m_player->Layer() : nullptr; }

void AppParts::SubscribeControllerEvents() { UI::uiLogic::SubscribeEvents(); }

void AppParts::BuildTree() { m_builder->BuildUI(); }

void AppParts::StartController() { m_controller->Init(); }

LRESULT AppParts::Forward(UINT message, WPARAM wparam, LPARAM lparam)
{
    return UI::sysMgr::Instance().OnMessage(message, wparam, lparam);
}

void AppParts::Redraw() { UI::sysMgr::Instance().Redraw(1); }

void AppParts::StopCompose()
{
    if (VMRServer* compose = UI::sysMgr::Instance().GetComposeServer())
        compose->Stop();
}

void AppParts::CloseEngine()
{
    if (m_controller)
        m_controller->CloseEngine();
}

void AppParts::ResetDevice()
{
    const auto reset = [this] { return m_resources.ResetDevice(); };
    if (m_player)
        m_player->ResetDevice(reset);
    else
        reset();
}

bool AppParts::PostUICommand(int id) { return m_controller && m_controller->PostUICommand(id); }

void AppParts::CaptionDoubleClick()
{
    if (m_controller)
        m_controller->OnCaptionDoubleClick();
}

void AppParts::PauseForTray()
{
    if (m_controller)
        m_controller->PauseForTray();
}

void AppParts::ResumeFromTray()
{
    if (m_controller)
        m_controller->ResumeFromTray();
}

IPrefechManager* AppParts::Prefetch() { return m_controller ? m_controller->GetPrefetchManager() : nullptr; }

void AppParts::SaveSettings()
{
    if (CAppSettings* settings = CAppSettings::Instance())
        settings->Save();
}

void AppParts::DestroyController() { m_controller.reset(); }

// The builder takes its parts back from the UI manager and frees the tree.
void AppParts::DestroyTree() { m_builder.reset(); }

UI::uiLogicParts AppParts::ControllerParts(HWND main, CVisualizationSource* visualization)
{
    UI::uiLogicParts parts;
    parts.create_downloader = [] { return CreateOstrel(); };
    parts.release_downloader = [](IOstrel* ostrel) { ReleaseOstrel(ostrel); };
    parts.create_prefetch = [] { return CreatePrefechManager(); };
    parts.release_prefetch = [](IPrefechManager* manager) { ReleasePrefechManager(manager); };
    // No cache trimming (limit -1); a deleted item may take its file from the
    // download and content cache folders only.
    std::vector<std::string> media = {settings_path(9), settings_path(1)};
    parts.create_updater = [media](CRSSDBMgr& db, IOstrel* ostrel, std::uint32_t seconds, std::int32_t items) {
        return std::make_unique<CRSSUpdater>(db, ostrel, seconds, items, std::string(), -1, media);
    };
    parts.create_file_play = [main, visualization,
                              folder = settings_path(9)]() -> std::unique_ptr<UI::uiLogicFilePlayBase> {
        // Each call reaches the controller of the moment: the play logic may outlive a step of it.
        UI::ScreensPlayHost::Controller calls;
        calls.downloader = [] { return UI::uiLogic::Instance() ? UI::uiLogic::Instance()->GetDownloader() : nullptr; };
        calls.high_definition = [] { return UI::uiLogic::Instance() && UI::uiLogic::Instance()->IsHighDefinitionOnly(); };
        calls.video_size = [](int width, int height, float ratio) {
            if (UI::uiLogic* c = UI::uiLogic::Instance()) {
                c->SetVideoSize(float(width), float(height));
                c->SetVideoAspect(ratio);
            }
        };
        calls.play_state = [](int state) { if (UI::uiLogic* c = UI::uiLogic::Instance()) c->OnPlayStateChanged(state); };
        calls.play_complete = [] { if (UI::uiLogic* c = UI::uiLogic::Instance()) c->OnPlayEnded(); };
        calls.seek = [](int seconds) { if (UI::uiLogic* c = UI::uiLogic::Instance()) c->Seek(seconds); };
        return std::make_unique<UI::uiLogicFilePlay>(
            std::make_unique<UI::ScreensPlayHost>(std::move(calls), folder, main, visualization));
    };
    parts.download_folder = settings_path(1);
    parts.database_folder = settings_path(6);
    parts.image_folder = settings_path(7);
    parts.members_page = "https://" + ReadFeedHost() + "/members";
    parts.post_to_main = [main](UINT message, WPARAM w, LPARAM l) { PostMessageW(main, message, w, l); };
    parts.set_timer = [main](UINT_PTR id, UINT ms) { SetTimer(main, id, ms, nullptr); };
    parts.kill_timer = [main](UINT_PTR id) { KillTimer(main, id); };
    parts.set_cursor = [](LPCWSTR cursor) { SetCursor(LoadCursorW(nullptr, cursor)); };
    parts.pointer = [main] {
        POINT p{};
        RECT window{};
        GetCursorPos(&p);
        GetWindowRect(main, &window);
        return POINT{p.x - window.left, p.y - window.top};
    };
    return parts;
}
