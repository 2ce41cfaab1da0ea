// The controller's side of the downloads and device pages: it makes them
// once the database is open, hands them the download manager's events and
// runs the device page's 500 ms timer on the UI thread.

#include "core/controller/uiLogic.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/controller/LogicCommand.h"
#include "core/controller/uiLogicState.h"
#include "core/settings/CAppSettings.h"
#include "engines/orvane/Orvane.h"
#include "platform/base/Utf.h"
#include "platform/fs/Process.h"
#include "platform/window/Window.h"
#include "screens/builder/UIIds.h"
#include "playback/devicesync/uiLogicsyncdevice.h"
#include "playback/downloads/uiLogicdownload.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/WidgetRegistry.h"
#include "toolkit/widgets/widget.h"

namespace UI {

namespace {

void sync_timer(HWND, UINT, UINT_PTR, DWORD)
{
    if (uiLogic* controller = uiLogic::Instance())
        if (uiLogicsyncdevice* sync = controller->GetSyncLogic()) sync->UpdateTranscodePercent();
}

}  // namespace

// The download folder the user chose (settings path 9); the controller's
// own folder when no settings object exists.
std::string uiLogic::DownloadFolder() const
{
    if (const CAppSettings* settings = CAppSettings::Instance())
        if (const WCHAR* path = settings->GetPath(9); path && *path) return plat::utf16_to_utf8(path);
    return m_parts.download_folder;
}

void uiLogic::InitDownloadPages()
{
    uiLogicdownload::Host pages;
    pages.downloader = [this] { return m_downloader; };
    pages.download_folder = [this] { return DownloadFolder(); };
    // A clicked row plays like a feed item. The click comes on the UI thread,
    // which must never wait for the dispatch lock: the play runs on the logic
    // thread, and ids 31 and 32 then step through the download pane.
    pages.play_item = [this](const RSSData::tRSSItem& item) {
        {
            std::scoped_lock display(m_display->lock);
            m_display->cursor.item = item;
        }
        PostLogicCommand(LogicCommand::PlayCurrentItem, 1, 0);
    };
    pages.open_folder = [](const std::string& folder) { plat::start_detached(plat::desktop_open_command(folder)); };
    m_download_logic = std::make_unique<uiLogicdownload>();
    {
        CMutexGuard hold(UIRenderMutex());
        m_download_logic->Init(std::move(pages), CRSSDBMgr::Instance());
    }

    uiLogicsyncdevice::Host sync;
    sync.downloader = [this] { return m_downloader; };
    sync.download_folder = [this] { return DownloadFolder(); };
    sync.post_transcode_finished = [this] { PostLogicCommand(LogicCommand::TranscodeFinished, 0, 0); };
    sync.engine = {[] { return CreateOrvaneInstance(); }, [](IBaseControl* engine) { ReleaseOrvaneInstance(engine); }};
    m_sync_logic = std::make_unique<uiLogicsyncdevice>();
    m_sync_logic->Init(std::move(sync), CRSSDBMgr::Instance(), uiMgr::Instance().GetHwnd());
    m_sync_timer = SetTimer(nullptr, 0, uiLogicsyncdevice::TimerMs, &sync_timer);
    // The download manager's listener is the feed window; it hands each event
    // to both pages before it acts on it itself.
    m_wrsswindow.SetEventForwards(m_download_logic.get(), &m_sync_events);
}

// Both pages go before the download manager they call; the logic thread,
// which runs the device page's command 22, has ended already.
void uiLogic::ReleaseDownloadPages()
{
    if (m_sync_timer) KillTimer(nullptr, m_sync_timer);
    m_wrsswindow.SetEventForwards(nullptr, nullptr);
    m_sync_logic.reset();
    m_download_logic.reset();
}

LONG uiLogic::SyncEvents::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    if (m_owner.m_sync_logic) m_owner.m_sync_logic->OnDownloadEvent(sender, code, value, extra);
    return 0;
}

void uiLogic::DropOnDevicePane(const RSSData::tRSSItem& item, POINT at)
{
    bool over = false;
    {
        CMutexGuard hold(UIRenderMutex());
        const widget* pane = GetWidgetById(ids::SyncDevice);
        for (const widget* w = pane; w && (over = w->IsVisible()); w = w->GetParent()) {}
        if (over) {
            const fpoint origin = pane->GetScreenOrigin();
            const float x = float(at.x) - origin.x, y = float(at.y) - origin.y;
            over = x >= 0 && y >= 0 && x < pane->GetWidth() && y < pane->GetHeight();
        }
    }
    if (over && m_sync_logic) m_sync_logic->AddVideo(item);
}

void uiLogic::OnDeviceChange(WPARAM event, LPARAM record)
{
    if (m_sync_logic) m_sync_logic->OnDeviceChange(event, record);
}

}
