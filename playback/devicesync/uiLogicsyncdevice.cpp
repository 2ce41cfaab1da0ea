#include "playback/devicesync/uiLogicsyncdevice.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "components/common/services/RegRead.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
#include "playback/common/NameClean.h"
#include "screens/video/wsyncdevicelist.h"
#include "screens/video/wsyncdevicelistitem.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wtitlewindow.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/genericlist/wtlist.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int RightWindowId = 96;
constexpr const char* PaneName = "window-syncdevice";
constexpr const char* DeviceTextName = "widget-myipodstatus-text";
constexpr LONG StartFlags = 0xA0000;
// A row's download state: the selected row shows the resume mark while it
// stands and the pause mark while it runs.
constexpr std::int32_t DownloadStands = 0;
constexpr std::int32_t DownloadRuns = 2;
constexpr std::int32_t DownloadDone = 3;

// The quality the device's videos are fetched in: high unless the user
// turned "HDMode" off.
LONG download_quality()
{
    return ReadRegDword(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", u"HDMode", 1) != 0 ? 2 : 1;
}

// The transcode's output: the download's name with ".mp4" for its last four characters.
std::u16string mp4_beside(const std::u16string& source)
{
    return source.substr(0, source.size() >= 4 ? source.size() - 4 : 0) + u".mp4";
}

}  // namespace

std::u16string uiLogicsyncdevice::StageText(const char* stage, int percent)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s      %d%%", stage, percent);
    return plat::utf8_to_utf16(text);
}

uiLogicsyncdevice::~uiLogicsyncdevice()
{
    JoinStarters(false);
    m_library.Wait();
    std::shared_ptr<CTranscode> running;
    {
        std::scoped_lock hold(m_lock);
        running = std::move(m_transcode);
    }
    if (running) {
        running->Stop();
        running->Finish();
    }
}

void uiLogicsyncdevice::Init(Host host, CRSSDBMgr& db, HWND window)
{
    m_host = std::move(host);
    m_db = &db;
    if (auto* right = dynamic_cast<UI::wrightwindow*>(UI::GetWidgetById(RightWindowId))) {
        for (UI::wtitlewindow* pane : right->Panes())
            if (pane->GetName() == PaneName) m_pane = pane;
    }
    if (m_pane) {
        m_list = dynamic_cast<UI::wsyncdevicelist*>(m_pane->GetList());
        m_device_text = dynamic_cast<UI::wtext*>(m_pane->TitleBar()->FindChild(DeviceTextName));
    } else {
        plat::debug_log("device page: no device pane in window 96");
    }
    m_detector.ScanDrives(window);
    m_detector.AddListener(this);
    ShowConnected(m_detector.HasDevice());
    m_library.AddListener(this);
    if (m_list) {
        m_list->PauseMark()->GetEvent("button_clicked", true)->Subscribe(&uiLogicsyncdevice::OnPauseResume, this);
        m_list->PlayMark()->GetEvent("button_clicked", true)->Subscribe(&uiLogicsyncdevice::OnPauseResume, this);
    }
}

std::vector<std::int64_t> uiLogicsyncdevice::QueuedIds() const
{
    std::scoped_lock hold(m_lock);
    std::vector<std::int64_t> ids;
    for (const auto& item : m_queue) ids.push_back(item.id);
    return ids;
}

void uiLogicsyncdevice::AddVideo(const RSSData::tRSSItem& item)
{
    if (m_list && m_db) {
        CMutexGuard hold(UIRenderMutex());
        ItemSyncRecord record;
        record.id = item.id;
        if (UI::wsyncdevicelistitem* found = RowOf(item.id)) {
            record = found->SyncRecord();
            found->LoadItem(record, *m_db);
        } else {
            auto* made = new UI::wsyncdevicelistitem();
            if (made->LoadItem(record, *m_db))
                m_list->AddRow(made);
            else
                delete made;
        }
    }
    bool first = false;
    {
        std::scoped_lock hold(m_lock);
        const bool queued =
            std::any_of(m_queue.begin(), m_queue.end(), [&](const RSSData::tRSSItem& q) { return q.id == item.id; });
        if (queued) return;
        m_queue.push_back(item);
        first = m_queue.size() == 1;
    }
    if (!first) return;
    const Begun begun = StartDownload(item);
    if (begun == Begun::Started) {
        SetRowDownload(item.id, DownloadRuns, std::nullopt);
    } else if (begun == Begun::Refused) {
        ShowRowStatus(item.id, CITunesDBMgr::SyncFailed);
        MoveOn(item.id);
    }
}

uiLogicsyncdevice::Begun uiLogicsyncdevice::StartDownload(const RSSData::tRSSItem& item)
{
    IOstrel* downloader = m_host.downloader ? m_host.downloader() : nullptr;
    if (!downloader) return Begun::NoManager;
    DownloadTaskInfo task;
    task.key = item.original_media_url;
    task.address = item.convert_media_url;
    task.title = item.title;
    task.mode = 1;
    task.quality = download_quality();
    const std::string folder = m_host.download_folder ? m_host.download_folder() : std::string();
    task.local_path = plat::utf8_to_utf16(playback::titled_file_path(folder, item.title, ".flv"));
    {
        std::scoped_lock hold(m_lock);
        m_head_file = task.local_path;
    }
    if (downloader->AddTask(&task, OSTREL_KIND_USER_VIDEO) == 0) return Begun::Refused;
    if (downloader->Start(0, task.key.c_str(), StartFlags) == 0) return Begun::Refused;
    return Begun::Started;
}

std::optional<RSSData::tRSSItem> uiLogicsyncdevice::PopHead(std::int64_t id)
{
    std::scoped_lock hold(m_lock);
    if (m_queue.empty() || m_queue.front().id != id) return std::nullopt;
    m_queue.pop_front();
    if (m_queue.empty()) return std::nullopt;
    return m_queue.front();
}

void uiLogicsyncdevice::MoveOn(std::int64_t id)
{
    std::optional<RSSData::tRSSItem> next = PopHead(id);
    while (next) {
        const Begun begun = StartDownload(*next);
        if (begun == Begun::Started) SetRowDownload(next->id, DownloadRuns, std::nullopt);
        if (begun != Begun::Refused) return;
        ShowRowStatus(next->id, CITunesDBMgr::SyncFailed);
        next = PopHead(next->id);
    }
}

void uiLogicsyncdevice::OnDownloadEvent(void* record, LONG code, INT_PTR value, INT_PTR extra)
{
    if (!record) return;
    const auto& task = *static_cast<const DownloadTaskInfo*>(record);
    // Only the head downloads for the device, and only into its own file:
    // the player or the prefetch fetching the same video report the same
    // key with a file of their own, which is not the device's.
    std::optional<std::int64_t> head;
    {
        std::scoped_lock hold(m_lock);
        if (!m_queue.empty() && m_queue.front().original_media_url == task.key && task.local_path == m_head_file)
            head = m_queue.front().id;
    }
    if (code == EVT_DOWNLOAD_STATE && head && value == DOWNLOAD_FINISHED) {
        SetRowDownload(*head, DownloadDone, 100);
        StartTranscodeThread(*head, task.local_path);
    } else if (code == EVT_DOWNLOAD_STATE && head && value == DOWNLOAD_FAILED) {
        ShowRowStatus(*head, CITunesDBMgr::SyncFailed);
        MoveOn(*head);
    } else if (code == EVT_DOWNLOAD_PROGRESS && head) {
        SetRowDownload(*head, std::nullopt, int(extra));
        ShowRowText(*head, StageText("Downloading", int(extra)));
    }
}

void uiLogicsyncdevice::StartTranscodeThread(std::int64_t id, std::u16string path)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    JoinStarters(true);
    std::scoped_lock hold(m_lock);
    m_starters.push_back({std::thread([this, id, path = std::move(path), done] {
                              RunTranscode(id, path);
                              *done = true;
                          }),
                          done});
}

void uiLogicsyncdevice::JoinStarters(bool only_done)
{
    std::list<Starter> ended;
    {
        std::scoped_lock hold(m_lock);
        for (auto it = m_starters.begin(); it != m_starters.end();) {
            const auto next = std::next(it);
            if (!only_done || *it->done) ended.splice(ended.end(), m_starters, it);
            it = next;
        }
    }
    for (Starter& starter : ended) starter.thread.join();
}

// The graph is built on this thread: building it takes a while, and the
// download manager's event thread must not wait for it.
void uiLogicsyncdevice::RunTranscode(std::int64_t id, const std::u16string& path)
{
    if (path.empty()) return;
    const HRESULT com = CoInitialize(nullptr);
    auto transcode = std::make_shared<CTranscode>(m_host.engine, [this] {
        if (m_host.post_transcode_finished) m_host.post_transcode_finished();
    });
    const std::u16string output = mp4_beside(path);
    bool begun = false;
    {
        std::scoped_lock hold(m_lock);
        if (!m_transcode) {
            m_transcode = transcode;
            m_output = output;
            begun = true;
        }
    }
    // A transcode that ended (or failed) already was taken by OnTranscodeFinished.
    if (begun && !transcode->Start(path, output)) {
        bool mine = false;
        {
            std::scoped_lock hold(m_lock);
            if (m_transcode == transcode) {
                m_transcode.reset();
                mine = true;
            }
        }
        if (mine) {
            transcode->Stop();
            transcode->Finish();
            ShowRowStatus(id, CITunesDBMgr::SyncFailed);
            MoveOn(id);
        }
    }
    transcode.reset();
    if (SUCCEEDED(com)) CoUninitialize();
}

void uiLogicsyncdevice::OnTranscodeFinished()
{
    std::shared_ptr<CTranscode> transcode;
    std::u16string output;
    std::int64_t id = 0;
    {
        std::scoped_lock hold(m_lock);
        transcode = std::move(m_transcode);
        output = m_output;
        if (!m_queue.empty()) id = m_queue.front().id;
    }
    if (!transcode) return;
    transcode->Stop();
    const bool made = transcode->Finish();
    transcode.reset();
    if (made) {
        // The last copy ends first, so that its statuses reach its own row.
        m_library.Wait();
        {
            std::scoped_lock hold(m_lock);
            m_syncing = id;
        }
        m_library.Sync({plat::utf16_to_utf8(output)}, true);
    } else {
        ShowRowStatus(id, CITunesDBMgr::SyncFailed);
    }
    MoveOn(id);
}

void uiLogicsyncdevice::UpdateTranscodePercent()
{
    int percent = 0;
    std::int64_t id = 0;
    {
        std::scoped_lock hold(m_lock);
        if (!m_transcode || m_queue.empty()) return;
        percent = m_transcode->Percent();
        id = m_queue.front().id;
    }
    ShowRowText(id, StageText("Transcoding", percent));
}

void uiLogicsyncdevice::OnSyncStatus(LPCWSTR, DWORD status)
{
    std::int64_t id = 0;
    {
        std::scoped_lock hold(m_lock);
        id = m_syncing;
    }
    ShowRowStatus(id, status);
}

UI::wsyncdevicelistitem* uiLogicsyncdevice::RowOf(std::int64_t id) const
{
    for (int i = 0; m_list && i < m_list->GetRowCount(); ++i) {
        auto* row = dynamic_cast<UI::wsyncdevicelistitem*>(m_list->GetRow(i));
        if (row && row->SyncRecord().id == id) return row;
    }
    return nullptr;
}

void uiLogicsyncdevice::ShowRowText(std::int64_t id, const std::u16string& text)
{
    CMutexGuard hold(UIRenderMutex());
    UI::wsyncdevicelistitem* row = RowOf(id);
    if (!row) return;
    row->Percent()->SetText(text.c_str());
    row->Percent()->Show(true);
    row->Invalidate();
}

void uiLogicsyncdevice::ShowRowStatus(std::int64_t id, DWORD status)
{
    CMutexGuard hold(UIRenderMutex());
    if (UI::wsyncdevicelistitem* row = RowOf(id)) row->SetSyncStatus(std::int32_t(status));
}

// The row keeps its stage text: only its record (and so its mark) changes.
void uiLogicsyncdevice::SetRowDownload(std::int64_t id, std::optional<std::int32_t> status,
                                       std::optional<int> percent)
{
    CMutexGuard hold(UIRenderMutex());
    UI::wsyncdevicelistitem* row = RowOf(id);
    if (!row) return;
    ItemSyncRecord record = row->SyncRecord();
    if (status) record.download_status = *status;
    if (percent) record.download_percent = *percent;
    row->SetSyncRecord(record);
    if (m_list && m_list->GetRow(m_list->GetSelection()) == row) m_list->LendMark(*row, true);
}

// The selected row's marks: pause stops its download, play resumes it. The
// row's mark turns only when the download manager knew the download.
bool uiLogicsyncdevice::OnPauseResume(UI::EventArgs& e)
{
    IOstrel* downloader = m_host.downloader ? m_host.downloader() : nullptr;
    std::int64_t id = 0;
    bool pause = false;
    {
        CMutexGuard hold(UIRenderMutex());
        auto* row = e.sender ? dynamic_cast<UI::wsyncdevicelistitem*>(e.sender->GetParent()) : nullptr;
        if (!row || !m_list) return false;
        id = row->SyncRecord().id;
        pause = e.sender == m_list->PauseMark();
    }
    std::list<RSSData::tRSSItem> items;
    if (!downloader || !m_db || m_db->GetItems(id, &items) != 0 || items.empty()) return true;
    const std::string& key = items.front().original_media_url;
    const LONG known = pause ? downloader->Pause(key.c_str()) : downloader->Resume(key.c_str());
    if (known != 0) SetRowDownload(id, pause ? DownloadStands : DownloadRuns, std::nullopt);
    return true;
}

bool uiLogicsyncdevice::OnDeviceChange(WPARAM event, LPARAM record) { return m_detector.OnDeviceChange(event, record); }

void uiLogicsyncdevice::OnDeviceArrival(char) { ShowConnected(true); }

void uiLogicsyncdevice::OnDeviceRemoval(char) { ShowConnected(m_detector.HasDevice()); }

void uiLogicsyncdevice::ShowConnected(bool connected)
{
    if (!m_device_text) return;
    CMutexGuard hold(UIRenderMutex());
    m_device_text->SetText(connected ? u"(Connected)" : u"(Not Connected)");
    m_pane->Invalidate();
}
