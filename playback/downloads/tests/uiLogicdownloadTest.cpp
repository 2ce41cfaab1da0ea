#include "playback/downloads/uiLogicdownload.h"

#include "FeedDbFixture.h"
#include "components/common/feeddb/IDataActionListener.h"
#include "outside/ostrel/testing/RecordingOstrel.h"
#include "screens/video/wdownloadlist.h"
#include "screens/video/wdownloadlistitem.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wtitlewindow.h"
#include "screens/widgets/wdragwindow.h"
#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/uimgr/uiMgr.h"
#include "toolkit/widgets/CMutexGuard.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include "platform/base/Utf.h"
#include "platform/sync/Mutex.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

using ostrel_test::RecordingOstrel;

namespace {

class DownloadsPage : public feeddb_test::FeedDb {
protected:
    void SetUp() override
    {
        FeedDb::SetUp();
        // As in the program: the right-hand window sits inside the main window, whose root carries the panes'
        // drag windows; so the root comes before the panes.
        desk.SetSize(1024, 768);
        UI::uiMgr::Instance().SetRoot(&desk);
        desk.AddChild(&right);
        right.SetPos(825, 30);
        right.SetSize(199, 700);
        right.CreatePanes();
        UI::RegisterWidget("window-right", 96, &right);
    }

    void TearDown() override { UI::uiMgr::Instance().SetRoot(nullptr); }

    void start(IOstrel* downloader)
    {
        uiLogicdownload::Host host;
        host.downloader = [downloader] { return downloader; };
        host.download_folder = [this] { return downloads.path(); };
        host.play_item = [this](const RSSData::tRSSItem& item) { played.push_back(item.title); };
        host.open_folder = [this](const std::string& folder) { opened.push_back(folder); };
        page.Init(std::move(host), db);
    }

    std::int64_t item(const std::string& title, int status = 0)
    {
        RSSData::tRSSItem record = item_record(channel, title);
        record.set_status(status);
        record.original_media_url = "http://media.example/" + title;
        record.convert_media_url = "http://convert.example/" + title;
        EXPECT_EQ(db.InsertItem(&record), 0);
        return record.id;
    }

    void download_row(std::int64_t id, int percent)
    {
        ItemDownloadRecord row;
        row.id = id;
        row.percent = percent;
        ASSERT_EQ(db.InsertItemDownloadInfo(row), 0);
    }

    void write_file(const std::string& title) { std::ofstream(downloads.path() + "/" + title + ".mp4") << "video"; }

    UI::wdownloadlist& list() { return *dynamic_cast<UI::wdownloadlist*>(right.Panes()[0]->GetList()); }

    std::vector<std::int64_t> listed()
    {
        std::vector<std::int64_t> ids;
        for (int i = 0; i < list().GetRowCount(); ++i)
            ids.push_back(dynamic_cast<UI::wdownloadlistitem*>(list().GetRow(i))->Row().id);
        return ids;
    }

    std::string row_percent(int index)
    {
        auto* row = dynamic_cast<UI::wdownloadlistitem*>(list().GetRow(index));
        return plat::utf16_to_utf8(row->Percent()->GetText());
    }

    ItemDownloadRecord stored_row(std::int64_t id)
    {
        std::list<ItemDownloadRecord> rows;
        db.GetItemDownloadInfos(&rows);
        for (const auto& row : rows)
            if (row.id == id) return row;
        ADD_FAILURE() << "no download row " << id;
        return {};
    }

    // The database loses an item while its download row stays: the
    // foreign-key triggers would refuse that, so they go first.
    void lose_item(std::int64_t id)
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &raw), SQLITE_OK);
        std::vector<std::string> triggers;
        sqlite3_exec(
            raw, "SELECT name FROM sqlite_master WHERE type='trigger'",
            [](void* out, int, char** values, char**) {
                static_cast<std::vector<std::string>*>(out)->push_back(values[0]);
                return 0;
            },
            &triggers, nullptr);
        for (const auto& name : triggers) sqlite3_exec(raw, ("DROP TRIGGER \"" + name + "\"").c_str(), nullptr, nullptr, nullptr);
        ASSERT_EQ(sqlite3_exec(raw, ("DELETE FROM rssitem WHERE id=" + std::to_string(id)).c_str(), nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }

    // Draws the list until its collapsing row is dropped.
    void finish_removal()
    {
        const int before = list().GetRowCount();
        for (int frame = 0; frame < 100 && list().GetRowCount() == before; ++frame) list().Draw();
        ASSERT_EQ(list().GetRowCount(), before - 1);
    }

    plat::TemporaryRegistry registry;
    test::ControlScene scene;
    plat::TempFolder downloads;
    RecordingOstrel ostrel;
    std::vector<std::string> played;
    std::vector<std::string> opened;
    UI::window desk{"desk"};   // the UI root; outlives the right-hand window, which leaves it first
    UI::wrightwindow right;
    uiLogicdownload page;   // after the tree it binds to
};

// Hears every write of the feed database and asks, from another thread,
// whether the render lock is free while the write is made.
class RenderLockProbe final : public IDataActionListener {
public:
    int OnBeforeDataAction(int action, int kind, std::int64_t id, int) override
    {
        const bool free = std::async(std::launch::async, [] {
                              if (UIRenderMutex().wait(0) != WAIT_OBJECT_0) return false;
                              UIRenderMutex().release();
                              return true;
                          }).get();
        std::scoped_lock hold(m_lock);
        ++m_writes;
        if (!free)
            m_held.push_back("action " + std::to_string(action) + " kind " + std::to_string(kind) + " id " +
                             std::to_string(id));
        return 0;
    }
    void OnDataAction(int, int, std::int64_t, int) override {}
    int writes()
    {
        std::scoped_lock hold(m_lock);
        return m_writes;
    }
    std::vector<std::string> held()
    {
        std::scoped_lock hold(m_lock);
        return m_held;
    }

private:
    std::mutex m_lock;
    int m_writes = 0;                 // guarded by m_lock
    std::vector<std::string> m_held;  // guarded by m_lock: writes made while the lock was held
};

DownloadTaskInfo task_for(const std::string& title, LONG quality = 2)
{
    DownloadTaskInfo task;
    task.key = "http://media.example/" + title;
    task.quality = quality;
    return task;
}

}  // namespace

TEST_F(DownloadsPage, LoadListKeepsWhatCanStillBeWatchedOrFetched)
{
    const struct {
        const char* title;
        int percent;
        bool file;
        int status;
        bool listed;
        bool resumed;
        int status_after;
    } cases[] = {
        {"finished-present", 100, true, 1280, true, false, 1280},
        {"finished-gone", 100, false, 1024, false, false, 1024},
        {"running-present", 40, true, 0, true, false, 0},
        {"running-gone", 40, false, 0, true, true, 768},
        {"running-gone-hd", 40, false, 1280, true, true, 1280},
    };
    std::vector<std::int64_t> ids;
    std::vector<std::int64_t> expected;
    std::vector<std::string> expected_calls;
    for (const auto& c : cases) {
        const std::int64_t id = item(c.title, c.status);
        download_row(id, c.percent);
        ids.push_back(id);
        if (c.listed) expected.push_back(id);
        if (c.resumed) expected_calls.push_back("add http://media.example/" + std::string(c.title));
    }
    const std::int64_t lost = item("lost");
    download_row(lost, 40);
    lose_item(lost);
    for (const auto& c : cases)
        if (c.file) write_file(c.title);

    start(&ostrel);

    EXPECT_EQ(listed(), expected);
    EXPECT_EQ(ostrel.calls(), expected_calls);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].title);
        EXPECT_EQ(read_item(ids[i]).status(), cases[i].status_after);
    }
    EXPECT_EQ(rows("itemdownloadinfo"), int(std::size(cases)) + 1) << "the page drops rows, the database keeps them";
    const auto added = ostrel.added();
    ASSERT_EQ(added.size(), 2u);
    const DownloadTaskInfo& task = added[0].task;
    EXPECT_EQ(added[0].kind, OSTREL_KIND_USER_VIDEO);
    EXPECT_EQ(task.address, "http://convert.example/running-gone");
    EXPECT_EQ(task.title, "running-gone");
    EXPECT_EQ(task.mode, 1);
    EXPECT_EQ(task.quality, 2);
    EXPECT_EQ(plat::utf16_to_utf8(task.local_path), downloads.path() + "/running-gone.mp4");
}

TEST_F(DownloadsPage, WithoutADownloadManagerNothingIsResumedOrMarked)
{
    const std::int64_t id = item("running");
    download_row(id, 40);
    start(nullptr);
    EXPECT_EQ(listed(), std::vector<std::int64_t>{id});
    EXPECT_EQ(read_item(id).status(), 0);
}

TEST_F(DownloadsPage, ARefusedTaskLeavesTheItemUnmarked)
{
    const std::int64_t id = item("running");
    download_row(id, 40);
    ostrel.answer(0, 1);
    start(&ostrel);
    EXPECT_EQ(ostrel.calls().size(), 1u);
    EXPECT_EQ(read_item(id).status(), 0);
}

TEST_F(DownloadsPage, LocalNamesLoseReservedCharactersAndEndInMp4)
{
    start(&ostrel);
    EXPECT_EQ(page.LocalFileName("a/b:c?d*e\"f<g>h|i\\j.flv"), downloads.path() + "/abcdefghij.flv.mp4");
}

TEST_F(DownloadsPage, ProgressShowsOnTheRowAndIsStored)
{
    const std::int64_t id = item("clip");
    download_row(id, 0);
    write_file("clip");
    start(&ostrel);
    DownloadTaskInfo task = task_for("clip");
    page.OnEvent(&task, EVT_DOWNLOAD_PROGRESS, 1000, 37);
    EXPECT_EQ(row_percent(0), "37%");
    EXPECT_EQ(stored_row(id).percent, 37);

    DownloadTaskInfo other = task_for("elsewhere");
    page.OnEvent(&other, EVT_DOWNLOAD_PROGRESS, 1000, 80);
    page.OnEvent(&task, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0);
    page.OnEvent(&task, EVT_DOWNLOAD_STATE, 2, 0);
    EXPECT_EQ(row_percent(0), "37%") << "another task, a failure and other states change nothing";
    EXPECT_EQ(read_item(id).status(), 0);
}

TEST_F(DownloadsPage, MarkFinishedByQualityAndPriorStatus)
{
    const struct {
        LONG quality;
        int before;
        int after;
    } cases[] = {
        {2, 0, 1280}, {2, 768, 1280}, {2, 1024, 1280}, {2, 1280, 1280},
        {1, 0, 1024}, {1, 768, 1024}, {1, 1024, 1024}, {1, 1280, 1280},
    };
    std::vector<std::int64_t> ids;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string title = "clip" + std::to_string(i);
        ids.push_back(item(title, cases[i].before));
        download_row(ids.back(), 50);
        write_file(title);
    }
    start(&ostrel);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        DownloadTaskInfo task = task_for("clip" + std::to_string(i), cases[i].quality);
        page.OnEvent(&task, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
        EXPECT_EQ(read_item(ids[i]).status(), cases[i].after);
        EXPECT_EQ(stored_row(ids[i]).percent, 100);
        auto* row = dynamic_cast<UI::wdownloadlistitem*>(list().GetRow(int(i)));
        EXPECT_EQ(row->Row().percent, 100);
        EXPECT_EQ(row->Percent()->GetShowState(), cases[i].after != 1280) << "a high-quality row shows no percent";
    }
}

TEST_F(DownloadsPage, NeighboursFollowTheListOrder)
{
    std::vector<std::int64_t> ids;
    for (const char* title : {"one", "two", "three"}) {
        ids.push_back(item(title));
        download_row(ids.back(), 10);
        write_file(title);
    }
    start(&ostrel);
    RSSData::tRSSItem got;
    ASSERT_TRUE(page.GetNextItem(ids[0], got));
    EXPECT_EQ(got.title, "two");
    ASSERT_TRUE(page.GetPreviousItem(ids[2], got));
    EXPECT_EQ(got.title, "two");
    EXPECT_FALSE(page.GetPreviousItem(ids[0], got));
    EXPECT_FALSE(page.GetNextItem(ids[2], got));
    EXPECT_FALSE(page.GetNextItem(987654, got));
}

TEST_F(DownloadsPage, ADroppedItemIsQueuedOnceAndSelected)
{
    const std::int64_t shown = item("shown");
    download_row(shown, 10);
    write_file("shown");
    const std::int64_t dropped = item("dropped");
    start(&ostrel);
    right.Panes()[0]->SetFolded(true);

    page.FindItemIndex(read_item(shown));
    ASSERT_EQ(page.CurrentIndex(), 0);
    // The drop names a new item: the row shown before must not be taken for it.
    const RSSData::tRSSItem item = read_item(dropped);
    page.FocusCurrentItem(&item);
    EXPECT_EQ(listed(), (std::vector<std::int64_t>{shown, dropped}));
    EXPECT_EQ(page.CurrentIndex(), 1);
    EXPECT_EQ(list().GetSelection(), 1);
    EXPECT_FALSE(right.Panes()[0]->IsFolded());
    const ItemDownloadRecord row = stored_row(dropped);
    EXPECT_EQ(row.type, 4);
    EXPECT_EQ(row.percent, 0);
    EXPECT_EQ(ostrel.calls(), std::vector<std::string>{"add http://media.example/dropped"});
    EXPECT_EQ(read_item(dropped).status(), 768);

    page.FocusCurrentItem(&item);
    EXPECT_EQ(listed().size(), 2u) << "a second drop selects the row it has";
    EXPECT_EQ(ostrel.calls().size(), 1u);
    page.FocusCurrentItem(nullptr);
    EXPECT_EQ(listed().size(), 2u);
}

// The dropped item's picture flies on the UI root, so it must land where the new row is in the window, once the
// list has scrolled to it: not at the row's place inside the list, which is near the window's top-left corner.
// Drops into an empty list, a short one and one longer than the pane.
TEST_F(DownloadsPage, ADroppedItemsPictureLandsOnItsNewRow)
{
    start(&ostrel);
    UI::wdownloadlist& rows = list();
    UI::widget& flying = *rows.GetDragWindow();
    ASSERT_EQ(flying.GetParent(), &desk);
    for (int n = 0; n < 15; ++n) {
        SCOPED_TRACE(n);
        const RSSData::tRSSItem dropped = read_item(item("dropped " + std::to_string(n)));
        page.FocusCurrentItem(&dropped);
        ASSERT_TRUE(rows.IsFlying());
        for (int frame = 0; frame < 300 && rows.IsFlying(); ++frame) desk.Draw();
        ASSERT_FALSE(rows.IsFlying());

        // Where the list draws the row in the landing frame, in the window's terms.
        const UI::fpoint list_at = rows.UpdateScreenOrigin();
        const UI::widget& row = *rows.GetRow(n);
        const UI::fpoint row_at{list_at.x + row.GetX(), list_at.y + row.GetY() - rows.GetScrollOffset()};
        const UI::fpoint landed = flying.UpdateScreenOrigin();
        EXPECT_FLOAT_EQ(landed.x, row_at.x);
        EXPECT_FLOAT_EQ(landed.y, row_at.y);
        EXPECT_GE(landed.y, list_at.y) << "the row is in the pane";
        EXPECT_LE(landed.y + row.GetHeight(), list_at.y + rows.GetHeight()) << "the row is in the pane";
        EXPECT_EQ(rows.GetSelection(), n);
    }
    EXPECT_GT(rows.GetContentHeight(), rows.GetHeight()) << "the last drops went past the pane's height";
}

TEST_F(DownloadsPage, TheCurrentIndexFollowsRemovals)
{
    std::vector<std::int64_t> ids;
    for (const char* title : {"a", "b", "c", "d"}) {
        ids.push_back(item(title));
        download_row(ids.back(), 10);
        write_file(title);
    }
    start(&ostrel);
    auto remove = [&](int index) {
        UI::ValueEventArgs click;
        click.sender = &list();
        click.value = index;
        click.reserved = UI::RemoveButtonCode;
        list().FireEvent("list_click", click);
        finish_removal();
    };
    const struct {
        const char* name;
        const char* current;
        int removed;
        int after;
    } cases[] = {
        {"a row above the current one", "c", 0, 1},   // a b c d -> b c d
        {"a row below the current one", "b", 2, 0},   // b c d -> b c
        {"the current row", "c", 1, -1},              // b c -> b
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(HasFatalFailure());
        RSSData::tRSSItem current;
        for (int i = 0; i < list().GetRowCount(); ++i) {
            const RSSData::tRSSItem candidate = read_item(dynamic_cast<UI::wdownloadlistitem*>(list().GetRow(i))->Row().id);
            if (candidate.title == c.current) current = candidate;
        }
        page.FindItemIndex(current);
        remove(c.removed);
        EXPECT_EQ(page.CurrentIndex(), c.after);
    }
    EXPECT_EQ(rows("itemdownloadinfo"), 1);
    EXPECT_EQ(listed().size(), 1u);
}

TEST_F(DownloadsPage, RowClicksPlayAndTheFolderButtonOpensTheFolder)
{
    const std::int64_t id = item("clip");
    download_row(id, 10);
    write_file("clip");
    start(&ostrel);
    UI::ValueEventArgs click;
    click.sender = list().GetRow(0);
    click.reserved = 1;
    list().GetRow(0)->FireEvent("listitem_click", click);
    EXPECT_EQ(played, std::vector<std::string>{"clip"});

    UI::widget* button = right.Panes()[0]->TitleBar()->FindChild("btn_mydownload-title-openlocal");
    ASSERT_TRUE(button);
    UI::EventArgs pressed;
    pressed.sender = button;
    button->FireEvent("button_clicked", pressed);
    EXPECT_EQ(opened, std::vector<std::string>{downloads.path()});
}

TEST_F(DownloadsPage, TheRowMarksPauseAndResumeTheDownload)
{
    const std::int64_t id = item("clip");
    download_row(id, 10);   // unfinished, no file: fetched again at load
    start(&ostrel);
    ostrel.clear();
    auto* row = dynamic_cast<UI::wdownloadlistitem*>(list().GetRow(0));
    ASSERT_TRUE(row);
    list().SelectAndScroll(0);
    auto press = [&](UI::widget* expected) {
        ASSERT_EQ(row->GetMark(), expected);
        UI::MouseEventArgs e;
        row->GetMark()->OnMouseDown(e);
        EXPECT_TRUE(e.handled) << "the row under the mark is not clicked too";
    };
    press(list().PauseMark());
    EXPECT_EQ(ostrel.calls(), std::vector<std::string>{"pause http://media.example/clip"});
    EXPECT_EQ(stored_row(id).status, 0);
    press(list().PlayMark());
    EXPECT_EQ(ostrel.calls().back(), "resume http://media.example/clip");
    EXPECT_EQ(stored_row(id).status, 2);
    EXPECT_EQ(row->GetMark(), list().PauseMark());
    EXPECT_TRUE(played.empty());
    EXPECT_EQ(row_percent(0), "10%");
}

// The page's database work happens without the render lock, so the compose
// thread never waits for SQLite: loading, progress and finish events from the
// download manager's thread, and a dropped item.
TEST_F(DownloadsPage, TheDatabaseIsReadAndWrittenWithoutTheRenderLock)
{
    const std::int64_t running = item("running");
    download_row(running, 40);   // no file: resumed at load
    const std::int64_t present = item("present");
    download_row(present, 10);
    write_file("present");
    RenderLockProbe probe;
    db.AddListener(&probe);
    start(&ostrel);
    std::thread events([&] {
        DownloadTaskInfo task = task_for("present");
        page.OnEvent(&task, EVT_DOWNLOAD_PROGRESS, 1000, 55);
        page.OnEvent(&task, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
    });
    events.join();
    const RSSData::tRSSItem dropped = read_item(item("dropped"));
    page.FocusCurrentItem(&dropped);
    db.RemoveListener(&probe);

    EXPECT_EQ(probe.held(), std::vector<std::string>{});
    EXPECT_GE(probe.writes(), 7) << "resume (item, row), progress, finish (item, row), drop (insert, item, row)";
    EXPECT_EQ(read_item(running).status(), 768);
    EXPECT_EQ(stored_row(present).percent, 100);
    EXPECT_EQ(read_item(present).status(), 1280);
    EXPECT_EQ(listed(), (std::vector<std::int64_t>{running, present, dropped.id}));
    EXPECT_EQ(row_percent(1), "100%");
}
