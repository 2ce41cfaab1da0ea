#include "core/controller/uiLogic.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/feeddb/CppSQLite3Exception.h"
#include "components/common/regutil/CUTILregEx.h"
#include "core/feedcontent/CGenerateDBInfo.h"
#include "core/search/CSearchLauncher.h"
#include "core/updater/CRSSUpdater.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "playback/devicesync/uiLogicsyncdevice.h"
#include "playback/downloads/uiLogicdownload.h"
#include "playback/playlogic/IuilogicBase.h"
#include "prefetch/IPrefechManager.h"

#include <atomic>

namespace UI {

namespace {

std::atomic<uiLogic*> the_controller{nullptr};

constexpr const WCHAR* ProgramKey = u"Software\\Corvalen\\Strimo";

DWORD read_dword(const CUTILregEx& key, LPCWSTR name, DWORD fallback)
{
    DWORD value = fallback;
    key.GetDWORD(name, value);
    return value;
}

}

uiLogic* uiLogic::Instance() { return the_controller.load(); }

uiLogic::uiLogic(uiLogicParts parts) : m_parts(std::move(parts)) { the_controller = this; }

uiLogic::~uiLogic()
{
    // Nothing a command uses may go while one still runs.
    m_thread.Stop();
    if (m_updater) {
        m_updater->RemoveListener(this);
        m_updater->Stop();
        m_updater.reset();
    }
    m_search.reset();
    m_play_logic.reset();
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
    the_controller = nullptr;
}

void uiLogic::Init()
{
    m_thread.Start(this);
    const CUTILregEx key(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    const DWORD multi_down = read_dword(key, u"MultiDownCount", 3);
    if (m_parts.create_downloader && (m_downloader = m_parts.create_downloader())) {
        m_downloader->Init(m_parts.download_folder.c_str(), 0);
        m_downloader->SetMultiSource(multi_down == 3);
    }
    open_database();
    DWORD items = read_dword(key, u"RSSItemNumber", 200);
    if (items < 25 || items > 500)
        items = 200;
    const DWORD minutes = read_dword(key, u"RetrieveRSSTime", 60);
    const bool prefetch_on = read_dword(key, u"EnablePrefetch", 1) != 0;
    const bool favourites = read_dword(key, u"PrefetchMyFavorites", 1) != 0;
    m_search = std::make_unique<CSearchLauncher>(m_thread.ThreadId());
    if (m_database_open) {
        start_updater(minutes, items);
        start_prefetch(prefetch_on, favourites);
        InitDownloadPages();
    }
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

void uiLogic::start_updater(DWORD minutes, DWORD items)
{
    if (!m_parts.create_updater)
        return;
    m_updater = m_parts.create_updater(CRSSDBMgr::Instance(), m_downloader, minutes * 60, std::int32_t(items));
    if (!m_updater)
        return;
    m_updater->AddListener(this);
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
}

void uiLogic::PauseForTray()
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (m_play_state == 1 && m_play_logic) {
        m_play_logic->Pause();
        m_paused_by_tray = true;
    }
}

void uiLogic::ResumeFromTray()
{
    std::scoped_lock hold(m_thread.DispatchLock());
    if (m_play_state == 2 && m_play_logic && m_paused_by_tray) {
        m_play_logic->Resume();
        m_paused_by_tray = false;
    }
}

}
