#include "core/controller/uiLogicState.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"
#include "core/settings/SettingNumbers.h"
#include "core/feedcontent/CGenerateDBInfo.h"
#include "core/search/CSearchLauncher.h"
#include "core/updater/CRSSUpdater.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "playback/devicesync/uiLogicsyncdevice.h"
#include "playback/downloads/uiLogicdownload.h"
#include "playback/playlogic/IuilogicBase.h"
#include "prefetch/IPrefechManager.h"
#include "screens/builder/UIIds.h"
#include "screens/feedlist/wrsslist.h"
#include "screens/settings/wsettingpage.h"
#include "screens/video/videoplaywindow.h"
#include "screens/video/wcontrolbar.h"
#include "screens/warning/warningpageMgr.h"
#include "screens/widgets/wsearcheditbox.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/focusgroup.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <atomic>
#include <utility>

namespace UI {

namespace {

std::atomic<uiLogic*> the_controller{nullptr};

DWORD read_dword(const CUTILregEx& key, LPCWSTR name, DWORD fallback)
{
    DWORD value = fallback;
    key.GetDWORD(name, value);
    return value;
}

}

uiLogic* uiLogic::Instance() { return the_controller.load(); }

uiLogic::uiLogic(uiLogicParts parts) : m_parts(std::move(parts)), m_display(std::make_unique<Display>()), m_drag(std::make_unique<DragState>())
{
    // The command code drives the controller's own feed window unless a test gives one.
    if (!m_parts.feed_window)
        m_parts.feed_window = &m_wrsswindow;
    the_controller = this;
}

uiLogic::~uiLogic()
{
    // Nothing a command uses may go while one still runs.
    m_thread.Stop();
    connect_screens(false);
    connect_settings(false);
    if (m_updater) {
        m_updater->RemoveListener(this);
        m_updater->Stop();
        m_updater.reset();
    }
    m_search.reset();
    m_play_logic.reset();
    // The feed window hands download events to the pages: it stops hearing them first.
    if (m_downloader)
        m_downloader->RemoveListener(&m_wrsswindow);
    ReleaseDownloadPages();
    if (m_prefetch) {
        m_prefetch->Pause();
        m_prefetch->Uninit();
        m_parts.release_prefetch(m_prefetch);
    }
    if (m_downloader)
        m_parts.release_downloader(m_downloader);
    if (m_database_open) {
        CRSSDBMgr::Instance().RemoveListener(this);
        CRSSDBMgr::Instance().Close();
    }
    if (m_warning_pages) {
        CMutexGuard hold(UIRenderMutex());
        m_warning_pages.reset();
    }
    the_controller = nullptr;
}

// The screens call the controller from the UI thread once it has started;
// they let go of it before it goes.
void uiLogic::connect_screens(bool on)
{
    uiMgr::Instance().SetHooks(on ? this : nullptr);
    if (wcontrolbar* bar = wcontrolbar::Instance())
        bar->SetLogic(on ? &m_player_logic : nullptr);
    if (auto* video = dynamic_cast<videoplaywindow*>(uiMgr::Instance().GetVideoWindow()))
        video->SetLogic(on ? &m_player_logic : nullptr);
    if (wrsslist* list = controller_widgets::feed_list())
        list->SetLogic(on ? this : nullptr);
}

// The settings window tells the controller what it applies; it shows the
// prefetch manager's state, so it is connected once that exists.
void uiLogic::connect_settings(bool on)
{
    CMutexGuard hold(UIRenderMutex());
    if (auto* settings = dynamic_cast<wsettingpage*>(GetWidgetById(ids::Setting)))
        settings->SetLogic(on ? this : nullptr);
}

void uiLogic::Init()
{
    m_thread.Start(this);
    connect_screens(true);
    const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    const DWORD multi_down = read_dword(key, u"MultiDownCount", 3);
    if (m_parts.create_downloader && (m_downloader = m_parts.create_downloader())) {
        m_downloader->Init(m_parts.download_folder.c_str(), 0);
        m_downloader->SetMultiSource(multi_down == 3);
        m_downloader->AddListener(&m_wrsswindow);
    }
    open_database();
    const DWORD items = ReadNumber(key, SettingNumbers::ItemsPerChannel);
    const DWORD minutes = ReadNumber(key, SettingNumbers::RefreshMinutes);
    const bool prefetch_on = read_dword(key, u"EnablePrefetch", 1) != 0;
    const bool favourites = read_dword(key, u"PrefetchMyFavorites", 1) != 0;
    // The stored preference holds from the start, not only after an Apply.
    SetHighQuality(read_dword(key, u"HDMode", 1) != 0);
    create_feed_window();
    m_search = std::make_unique<CSearchLauncher>(m_thread.ThreadId());
    if (m_database_open) {
        start_updater(minutes, items);
        start_prefetch(prefetch_on, favourites);
        InitDownloadPages();
    }
    join_focus_group();
    connect_settings(true);
}

// A database that cannot be opened leaves the program without feeds, not
// without a window: the updater and the prefetch manager are not made.
void uiLogic::open_database()
{
    const std::string path = m_parts.database_folder + CRSSDBMgr::FileName;
    try {
        CGenerateDBInfo content;
        content.Generate(path.c_str());
        content.Close();
        if (const int code = CRSSDBMgr::Instance().Open(path.c_str())) {
            m_feeds_problem = "the feed database \"" + path + "\" cannot be opened (SQLite code " +
                              std::to_string(code) + ")";
        }
    } catch (const CppSQLite3Exception& e) {
        m_feeds_problem = "the feed database \"" + path + "\" cannot be opened: " + e.errorMessage();
    }
    if (!m_feeds_problem.empty()) {
        plat::debug_log("controller: running without feeds: " + m_feeds_problem);
        return;
    }
    m_database_open = true;
    CRSSDBMgr::Instance().AddListener(this);
}

// The warning pages, then the feed window over the built widget tree, which
// starts on the site's "popular" channel.
void uiLogic::create_feed_window()
{
    {
        CMutexGuard hold(UIRenderMutex());
        m_warning_pages = std::make_unique<warningpageMgr>(warningpageHost{
            [this] { return GetDisplayMode(); }, [this](DWORD mode) { change_display_mode(mode); },
            [this](int page) { OnWarningPageResult(page); }});
        m_warning_pages->CreatePages();
        if (m_database_open) {
            m_wrsswindow.Init(m_parts.network_test);
            m_wrsswindow.OpenCategory(FeedListKind::VideoSite, "popular");
        }
    }
}

// Tab moves the keyboard focus through the search box's field, the feed list
// and the download pane, in that order.
void uiLogic::join_focus_group()
{
    focusgroup* group = uiMgr::Instance().GetFocusGroup();
    if (!group)
        return;
    auto* search = dynamic_cast<wsearcheditbox*>(GetWidgetById(ids::SearchBox));
    for (widget* member : {search ? static_cast<widget*>(search->GetTextField()) : nullptr, m_wrsswindow.GetRootWidget(),
                           m_download_logic ? m_download_logic->GetRootWidget() : nullptr})
        if (member)
            member->JoinFocusGroup(group);
}

void uiLogic::OnWarningPageResult(int page)
{
    if (m_warning_pages)
        m_warning_pages->HideAll();
    if (page != warningpageMgr::FailedPlayback)
        return;
    CMutexGuard hold(UIRenderMutex());
    if (widget* video = uiMgr::Instance().GetVideoWindow())
        video->Show(false);
    change_display_mode(DisplayMode::None);
}

void uiLogic::start_updater(DWORD minutes, DWORD items)
{
    if (!m_parts.create_updater)
        return;
    m_updater = m_parts.create_updater(CRSSDBMgr::Instance(), m_downloader, minutes * 60, std::int32_t(items));
    if (!m_updater)
        return;
    m_updater->AddListener(this);
    // A start page with nothing stored yet waits under the loading mark.
    if (const FeedListState start = m_parts.feed_window->ShownList(); start.channel >= 0 && start.page_count == 0)
        await_channel(start.channel);
    m_updater->Start();
    m_updater->RequestAll();
}

void uiLogic::start_prefetch(bool enabled, bool favourites)
{
    if (!m_parts.create_prefetch || !(m_prefetch = m_parts.create_prefetch()))
        return;
    m_prefetch->Init(m_downloader, &CRSSDBMgr::Instance(), m_parts.image_folder.c_str());
    m_prefetch->SetFavouritesFlag(favourites);
    if (enabled)
        m_prefetch->Resume();
    else
        m_prefetch->Pause();
}

void uiLogic::CloseEngine()
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (m_play_logic)
        m_play_logic->ReleaseController();
    // Its listener is gone, so no event tells that nothing plays now.
    std::scoped_lock display(m_display->lock);
    m_closed_play_state = std::exchange(m_display->play_state, 0);
}

// UI command 41, posted once a device reset has closed the engine: the clip
// that was playing or paused opens again at the control bar's place, and
// one that was paused is paused again.
void uiLogic::reopen_after_reset()
{
    const int was = std::exchange(m_closed_play_state, 0);
    if (!m_play_logic || (was != 1 && was != 2))
        return;
    m_play_logic->Replay();
    if (was == 2)
        m_play_logic->Pause();
}

void uiLogic::PauseForTray()
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (GetPlayState() == 1 && m_play_logic) {
        m_play_logic->Pause();
        m_paused_by_tray = true;
    }
}

void uiLogic::ResumeFromTray()
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (GetPlayState() == 2 && m_play_logic && m_paused_by_tray) {
        m_play_logic->Resume();
        m_paused_by_tray = false;
    }
}

}
