#include "playback/downloads/uiLogicdownload.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "outside/ostrel/IOstrel.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "playback/common/NameClean.h"
#include "screens/builder/UIIds.h"
#include "screens/video/wdownloadlist.h"
#include "screens/video/wdownloadlistitem.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wtitlewindow.h"
#include "screens/widgets/wdragwindow.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/genericlist/wtlist.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/EventSet.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include <algorithm>
#include <list>

namespace {

namespace ItemStatus = RSSData::ItemStatus;

constexpr const char* PaneName = "window-mydownload";
constexpr const char* FolderButtonName = "btn_mydownload-title-openlocal";
constexpr int ScrollFrames = 30;
constexpr std::int32_t QueuedType = 4;
// A row's download state: the selected row shows the resume mark while it
// stands and the pause mark while it runs.
constexpr std::int32_t DownloadStands = 0;
constexpr std::int32_t DownloadRuns = 2;

const DownloadTaskInfo* task_of(void* sender)
{
    return static_cast<const DownloadTaskInfo*>(sender);
}

// The drag window flies in its parent (the UI root), so the target is the row's
// place in those terms once the list has scrolled to it: the row's own
// position is only its place among the list's rows.
UI::fpoint LandingPlace(UI::wtlist& list, UI::widget& row)
{
    UI::fpoint at = row.UpdateScreenOrigin();
    at.y -= list.GetScrollTarget();
    if (UI::widget* holder = list.GetDragWindow()->GetParent()) {
        const UI::fpoint base = holder->UpdateScreenOrigin();
        at = {at.x - base.x, at.y - base.y};
    }
    return at;
}

}  // namespace

void uiLogicdownload::Init(Host host, CRSSDBMgr& db)
{
    m_host = std::move(host);
    m_db = &db;
    if (auto* right = dynamic_cast<UI::wrightwindow*>(UI::GetWidgetById(UI::ids::RightWindow))) {
        for (UI::wtitlewindow* pane : right->Panes())
            if (pane->GetName() == PaneName) m_pane = pane;
    }
    if (!m_pane) {
        plat::debug_log("downloads page: no download pane in window 96");
        return;
    }
    m_list = dynamic_cast<UI::wdownloadlist*>(m_pane->GetList());
    if (UI::widget* button = m_pane->TitleBar()->FindChild(FolderButtonName))
        button->GetEvent("button_clicked", true)->Subscribe(&uiLogicdownload::OpenFolder, this);
    if (m_list) {
        m_list->GetEvent("list_click", true)->Subscribe(&uiLogicdownload::OnRowEvent, this);
        m_list->GetEvent("listitem_delete", true)->Subscribe(&uiLogicdownload::OnRowRemoved, this);
        m_list->PauseMark()->GetEvent("button_clicked", true)->Subscribe(&uiLogicdownload::OnPauseResume, this);
        m_list->PlayMark()->GetEvent("button_clicked", true)->Subscribe(&uiLogicdownload::OnPauseResume, this);
    }
    LoadList();
}

std::string uiLogicdownload::LocalFileName(const std::string& title) const
{
    const std::string folder = m_host.download_folder ? m_host.download_folder() : std::string();
    return playback::titled_file_path(folder, title, ".mp4");
}

bool uiLogicdownload::ReadItem(std::int64_t id, RSSData::tRSSItem& item)
{
    std::list<RSSData::tRSSItem> items;
    if (m_db->GetItems(id, &items) != 0 || items.empty()) return false;
    item = std::move(items.front());
    return true;
}

// A finished download whose file is gone leaves the page, as does a row
// whose item is gone; the database keeps both rows. An unfinished one whose
// file is missing is handed to the download manager again. The database and
// the files are read before the render lock is taken, which the rows alone
// need: the compose thread never waits for SQLite.
void uiLogicdownload::LoadList()
{
    struct Listed {
        ItemDownloadRecord row;
        RSSData::tRSSItem item;
        bool present;
    };
    std::vector<Listed> listed;
    std::list<ItemDownloadRecord> rows;
    m_db->GetItemDownloadInfos(&rows);
    for (const ItemDownloadRecord& row : rows) {
        RSSData::tRSSItem item;
        if (!ReadItem(row.id, item)) continue;
        const bool present = FileExists(LocalFileName(item.title));
        if (!present && row.percent == 100) continue;
        listed.push_back({row, std::move(item), present});
    }
    {
        CMutexGuard hold(UIRenderMutex());
        for (const Listed& l : listed) {
            const std::size_t count = m_records.size();
            UI::wdownloadlistitem* widget = nullptr;
            if (m_list && count < std::size_t(m_list->GetRowCount()))
                widget = dynamic_cast<UI::wdownloadlistitem*>(m_list->GetRow(int(count)));
            if (widget)
                widget->LoadItem(l.row, l.item);
            else
                widget = AppendRow(l.row, l.item);
            m_records.push_back({l.row, widget});
        }
    }
    for (const Listed& l : listed)
        if (!l.present) ResumeDownload(l.item);
}

UI::wdownloadlistitem* uiLogicdownload::AppendRow(const ItemDownloadRecord& row, const RSSData::tRSSItem& item)
{
    if (!m_list) return nullptr;
    auto* widget = new UI::wdownloadlistitem();
    widget->LoadItem(row, item);
    m_list->AddRow(widget);
    widget->GetEvent("listitem_click", true)->Subscribe(&uiLogicdownload::OnRowClick, this);
    return widget;
}

void uiLogicdownload::ResumeDownload(const RSSData::tRSSItem& item)
{
    IOstrel* downloader = m_host.downloader ? m_host.downloader() : nullptr;
    if (!downloader) return;
    DownloadTaskInfo task;
    task.key = item.original_media_url;
    task.address = item.convert_media_url;
    task.title = item.title;
    task.mode = 1;
    task.quality = 2;
    task.local_path = plat::utf8_to_utf16(LocalFileName(item.title));
    if (downloader->AddTask(&task, OSTREL_KIND_USER_VIDEO) == 0) return;
    SetRowState(item.id, DownloadRuns);
    RSSData::tRSSItem stored;
    if (!ReadItem(item.id, stored) || stored.status() == ItemStatus::HighQuality) return;
    stored.set_status(ItemStatus::Downloading);
    m_db->UpdateItem(stored);
}

LONG uiLogicdownload::OnEvent(void* sender, LONG code, INT_PTR value, INT_PTR extra)
{
    if (!sender || !m_db) return 0;
    if (code == EVT_DOWNLOAD_STATE && value == DOWNLOAD_FINISHED) {
        SetProgress(*task_of(sender), 100);
        MarkFinished(*task_of(sender));
    } else if (code == EVT_DOWNLOAD_PROGRESS) {
        // The download manager carries the percent beside the byte count.
        SetProgress(*task_of(sender), int(extra));
    }
    return 0;
}

bool uiLogicdownload::HasRecords() const
{
    CMutexGuard hold(UIRenderMutex());
    return !m_records.empty();
}

void uiLogicdownload::SetProgress(const DownloadTaskInfo& task, int percent)
{
    if (!HasRecords()) return;
    std::list<RSSData::tRSSItem> items;
    m_db->GetItemByMediaUrl(task.key, &items);
    ChangeRecords(items, [percent](Record& record, const RSSData::tRSSItem&) {
        record.row.percent = percent;
        if (record.widget) record.widget->SetRow(record.row);
    });
}

// The records of these items are changed under the render lock, their rows
// stored once it is let go.
void uiLogicdownload::ChangeRecords(const std::list<RSSData::tRSSItem>& items,
                                    const std::function<void(Record&, const RSSData::tRSSItem&)>& change)
{
    std::vector<StoredRow> changed;
    {
        CMutexGuard hold(UIRenderMutex());
        for (const RSSData::tRSSItem& item : items) {
            const int at = PositionOf(item.id);
            if (at < 0) continue;
            Record& record = m_records[std::size_t(at)];
            change(record, item);
            changed.push_back(Snapshot(record));
        }
    }
    StoreRows(changed);
}

// Callers hold UIRenderMutex.
uiLogicdownload::StoredRow uiLogicdownload::Snapshot(const Record& record)
{
    return {record.row, ++m_changes};
}

// Snapshots taken in one order may reach here in another (the download
// manager's thread and the UI thread both change rows): a row a later change
// has already stored is not written back over.
void uiLogicdownload::StoreRows(const std::vector<StoredRow>& rows)
{
    std::scoped_lock hold(m_store_lock);
    for (const StoredRow& stored : rows) {
        std::uint64_t& newest = m_stored_changes[stored.row.id];
        if (stored.change < newest) continue;
        newest = stored.change;
        m_db->UpdateItemDownloadInfo(stored.row);
    }
}

// A high-quality download marks its items 1280; a standard one 1024, never
// lowering an item already downloaded in high quality.
void uiLogicdownload::MarkFinished(const DownloadTaskInfo& task)
{
    std::list<RSSData::tRSSItem> items;
    m_db->GetItemByMediaUrl(task.key, &items);
    for (RSSData::tRSSItem& item : items) {
        const bool high = task.quality == 2 || item.status() == ItemStatus::HighQuality;
        item.set_status(high ? ItemStatus::HighQuality : ItemStatus::StandardQuality);
        m_db->UpdateItem(item);
    }
    ChangeRecords(items, [](Record& record, const RSSData::tRSSItem& item) {
        record.row.status = UI::wdownloadlistitem::FinishedState;
        if (!record.widget) return;
        record.widget->SetRow(record.row);
        record.widget->SetQualityMark(item.status());
    });
}

int uiLogicdownload::PositionOf(std::int64_t id) const
{
    const auto found = std::find_if(m_records.begin(), m_records.end(), [id](const Record& r) { return r.row.id == id; });
    return found == m_records.end() ? -1 : int(found - m_records.begin());
}

int uiLogicdownload::CurrentIndex() const
{
    CMutexGuard hold(UIRenderMutex());
    return m_current;
}

UI::widget* uiLogicdownload::GetRootWidget() const { return m_list; }

void uiLogicdownload::FindItemIndex(const RSSData::tRSSItem& item)
{
    CMutexGuard hold(UIRenderMutex());
    m_current = PositionOf(item.id);
}

void uiLogicdownload::ScrollToCurrent()
{
    CMutexGuard hold(UIRenderMutex());
    if (!m_list || m_current < 0 || m_current >= m_list->GetRowCount()) return;
    m_list->ScrollRows(m_current - std::max(m_list->GetSelection(), 0));
}

void uiLogicdownload::ShowItem(const RSSData::tRSSItem* item)
{
    if (!item) return;
    FindItemIndex(*item);
    ScrollToCurrent();
    FocusCurrentItem(item);
}

// The current index is looked up for this item first: a drop names a new
// item, and the index of the row shown before would select that row instead.
void uiLogicdownload::FocusCurrentItem(const RSSData::tRSSItem* item)
{
    if (!item || !m_db) return;
    {
        CMutexGuard hold(UIRenderMutex());
        if (m_pane && m_pane->IsFolded()) {
            UI::EventArgs click;
            click.sender = m_pane;
            m_pane->FireEvent("titlewindow-click", click);
        }
        if (m_list) m_list->KeepLayingOut(ScrollFrames);
        m_current = PositionOf(item->id);
        if (m_current >= 0) {
            ScrollToCurrent();
            return;
        }
    }
    ItemDownloadRecord row;
    row.id = item->id;
    row.type = QueuedType;
    if (m_db->InsertItemDownloadInfo(row) != 0) {
        plat::debug_log("downloads page: the download row of item " + std::to_string(item->id) + " was refused");
        return;
    }
    {
        CMutexGuard hold(UIRenderMutex());
        UI::wdownloadlistitem* widget = AppendRow(row, *item);
        m_records.push_back({row, widget});
        m_current = int(m_records.size()) - 1;
        if (m_list && widget) {
            m_list->SelectAndScroll(m_current);
            const UI::fpoint to = LandingPlace(*m_list, *widget);
            m_list->StartFlyIn(to.x, to.y);
        }
    }
    ResumeDownload(*item);
}

bool uiLogicdownload::Neighbour(std::int64_t id, int step, RSSData::tRSSItem& item)
{
    std::int64_t neighbour = 0;
    {
        CMutexGuard hold(UIRenderMutex());
        const int at = PositionOf(id);
        if (at < 0 || at + step < 0 || at + step >= int(m_records.size())) return false;
        neighbour = m_records[std::size_t(at + step)].row.id;
    }
    return ReadItem(neighbour, item);
}

bool uiLogicdownload::GetPreviousItem(std::int64_t id, RSSData::tRSSItem& item) { return Neighbour(id, -1, item); }

bool uiLogicdownload::GetNextItem(std::int64_t id, RSSData::tRSSItem& item) { return Neighbour(id, 1, item); }

// The remove button: the row collapses and its download row leaves the
// database; the record goes once the list has dropped the row.
bool uiLogicdownload::OnRowEvent(UI::EventArgs& e)
{
    auto& click = static_cast<UI::ValueEventArgs&>(e);
    if (click.reserved != UI::RemoveButtonCode) return false;
    std::int64_t id = 0;
    {
        CMutexGuard hold(UIRenderMutex());
        const int at = int(click.value);
        if (at < 0 || at >= int(m_records.size())) return false;
        m_list->RemoveRow(at);
        id = m_records[std::size_t(at)].row.id;
        m_list->LayoutRows();
    }
    m_db->DeleteItemDownloadInfo(id);
    return true;
}

bool uiLogicdownload::OnRowClick(UI::EventArgs& e)
{
    std::int64_t id = 0;
    {
        CMutexGuard hold(UIRenderMutex());
        const auto found = std::find_if(m_records.begin(), m_records.end(),
                                        [&](const Record& r) { return r.widget == e.sender; });
        if (found == m_records.end()) return false;
        id = found->row.id;
    }
    RSSData::tRSSItem item;
    if (ReadItem(id, item) && m_host.play_item) m_host.play_item(item);
    return false;
}

// The current index keeps naming the same record: past the removed one it
// moves up one, on it there is none.
bool uiLogicdownload::OnRowRemoved(UI::EventArgs& e)
{
    CMutexGuard hold(UIRenderMutex());
    const auto found =
        std::find_if(m_records.begin(), m_records.end(), [&](const Record& r) { return r.widget == e.sender; });
    if (found == m_records.end()) return false;
    const int at = int(found - m_records.begin());
    m_records.erase(found);
    if (m_current == at)
        m_current = -1;
    else if (m_current > at)
        --m_current;
    return true;
}

void uiLogicdownload::SetRowState(std::int64_t id, std::int32_t status)
{
    std::vector<StoredRow> changed;
    {
        CMutexGuard hold(UIRenderMutex());
        const int at = PositionOf(id);
        if (at < 0) return;
        Record& record = m_records[std::size_t(at)];
        record.row.status = status;
        changed.push_back(Snapshot(record));
        if (record.widget) {
            record.widget->SetRow(record.row);
            if (m_list && m_list->GetRow(m_list->GetSelection()) == record.widget)
                m_list->LendMark(*record.widget, true);
        }
    }
    StoreRows(changed);
}

// The selected row's marks: pause stops its download, play resumes it. The
// row's mark turns only when the download manager knew the download.
bool uiLogicdownload::OnPauseResume(UI::EventArgs& e)
{
    IOstrel* downloader = m_host.downloader ? m_host.downloader() : nullptr;
    std::int64_t id = 0;
    bool pause = false;
    {
        CMutexGuard hold(UIRenderMutex());
        const auto found = std::find_if(m_records.begin(), m_records.end(), [&](const Record& r) {
            return r.widget && e.sender && r.widget == e.sender->GetParent();
        });
        if (found == m_records.end() || !m_list) return false;
        id = found->row.id;
        pause = e.sender == m_list->PauseMark();
    }
    RSSData::tRSSItem item;
    if (!downloader || !ReadItem(id, item)) return true;
    const char* key = item.original_media_url.c_str();
    if ((pause ? downloader->Pause(key) : downloader->Resume(key)) == 0) return true;
    SetRowState(id, pause ? DownloadStands : DownloadRuns);
    return true;
}

bool uiLogicdownload::OpenFolder(UI::EventArgs&)
{
    if (m_host.open_folder && m_host.download_folder) m_host.open_folder(m_host.download_folder());
    return true;
}
