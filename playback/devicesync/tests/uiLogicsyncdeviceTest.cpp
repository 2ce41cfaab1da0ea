#include "playback/devicesync/uiLogicsyncdevice.h"

#include "FakeEngine.h"
#include "FeedDbFixture.h"
#include "outside/ostrel/testing/RecordingOstrel.h"
#include "outside/ostrel/testing/RefusingOstrel.h"
#include "screens/video/wsyncdevicelist.h"
#include "screens/video/wsyncdevicelistitem.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wtitlewindow.h"
#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/genericlist/wtlist.h"
#include "toolkit/widgets/MouseEventArgs.h"
#include "toolkit/widgets/WidgetRegistry.h"

#include "platform/base/Utf.h"
#include "platform/devices/Drives.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <optional>
#include <thread>

using ostrel_test::RecordingOstrel;
using sync_test::EngineMaker;

namespace {

void set_hd_mode(std::optional<DWORD> value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    if (value)
        RegSetValueExW(key, u"HDMode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*value), sizeof(DWORD));
    else
        RegDeleteValueW(key, u"HDMode");
    RegCloseKey(key);
}

// Polls (up to 10 s) until the condition holds.
template <class Condition>
bool eventually(Condition condition)
{
    for (int i = 0; i < 10000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

class SyncPage : public feeddb_test::FeedDb {
protected:
    void SetUp() override
    {
        FeedDb::SetUp();
        right.SetSize(199, 700);
        right.CreatePanes();
        UI::RegisterWidget("window-right", 96, &right);
    }
    void TearDown() override { plat::VolumeMonitor::instance().use_given_volumes({}); }

    void start(IOstrel* downloader)
    {
        uiLogicsyncdevice::Host host;
        host.downloader = [downloader] { return downloader; };
        host.download_folder = [this] { return downloads.path(); };
        host.post_transcode_finished = [this] { ++posted; };
        host.engine = maker.engine();
        page.Init(std::move(host), db, nullptr);
    }

    RSSData::tRSSItem item(const std::string& title)
    {
        RSSData::tRSSItem record = item_record(channel, title);
        record.original_media_url = "http://media.example/" + std::to_string(++made);
        record.convert_media_url = "http://convert.example/" + std::to_string(made);
        EXPECT_EQ(db.InsertItem(&record), 0);
        return record;
    }

    // The download manager reports the item's download: 4 finished (the
    // file is there), 6 failed.
    void download_ends(const RSSData::tRSSItem& queued, LONG state)
    {
        DownloadTaskInfo task;
        task.key = queued.original_media_url;
        task.local_path = plat::utf8_to_utf16(downloads.path() + "/" + queued.title + ".flv");
        if (state == DOWNLOAD_FINISHED) std::ofstream(plat::utf16_to_utf8(task.local_path)) << "flv";
        page.OnDownloadEvent(&task, EVT_DOWNLOAD_STATE, state, 0);
    }

    UI::wsyncdevicelist& list() { return *dynamic_cast<UI::wsyncdevicelist*>(right.Panes()[1]->GetList()); }

    UI::wsyncdevicelistitem* row_of(std::int64_t id)
    {
        for (int i = 0; i < list().GetRowCount(); ++i) {
            auto* row = dynamic_cast<UI::wsyncdevicelistitem*>(list().GetRow(i));
            if (row && row->SyncRecord().id == id) return row;
        }
        return nullptr;
    }

    std::string row_text(std::int64_t id)
    {
        UI::wsyncdevicelistitem* row = row_of(id);
        return row ? plat::utf16_to_utf8(row->Percent()->GetText()) : "<no row>";
    }

    // Selects the row; the scroll a selection holds ends first, since a
    // held list keeps its selection.
    void select(int index)
    {
        list().ClearScrollOverride();
        list().SelectAndScroll(index);
    }

    // The mark the selected row of the item carries: "pause", "play" or "none".
    std::string mark_of(std::int64_t id)
    {
        UI::wsyncdevicelistitem* row = row_of(id);
        if (!row || !row->GetMark()) return "none";
        return row->GetMark() == list().PauseMark() ? "pause" : "play";
    }

    // A press on the item's row mark, as the UI manager delivers it.
    void press_mark(std::int64_t id)
    {
        UI::wsyncdevicelistitem* row = row_of(id);
        ASSERT_TRUE(row && row->GetMark());
        UI::MouseEventArgs press;
        row->GetMark()->OnMouseDown(press);
        EXPECT_TRUE(press.handled) << "the row under the mark is not clicked too";
    }

    std::string device_text()
    {
        auto* text = dynamic_cast<UI::wtext*>(right.Panes()[1]->TitleBar()->FindChild("widget-myipodstatus-text"));
        return text ? plat::utf16_to_utf8(text->GetText()) : "<no text>";
    }

    bool queue_is(std::vector<std::int64_t> ids)
    {
        return eventually([&] { return page.QueuedIds() == ids; });
    }

    plat::TemporaryRegistry registry;
    test::ControlScene scene;
    plat::TempFolder downloads;
    RecordingOstrel ostrel;
    EngineMaker maker;
    std::atomic<int> posted{0};
    int made{0};
    UI::wrightwindow right;
    uiLogicsyncdevice page;   // after everything it uses
};

}  // namespace

TEST_F(SyncPage, EachItemIsQueuedOnceAndOnlyTheFirstDownloads)
{
    start(&ostrel);
    const auto a = item("a/b:c?");
    const auto b = item("second");
    page.AddVideo(a);
    page.AddVideo(a);
    page.AddVideo(b);
    EXPECT_EQ(page.QueuedIds(), (std::vector<std::int64_t>{a.id, b.id}));
    EXPECT_EQ(ostrel.calls(), (std::vector<std::string>{"add " + a.original_media_url, "start " + a.original_media_url}));
    EXPECT_EQ(list().GetRowCount(), 2) << "one row per item";
    EXPECT_TRUE(row_of(a.id) && row_of(b.id)) << "the rows are device rows";
    const auto added = ostrel.added();
    ASSERT_EQ(added.size(), 1u);
    const DownloadTaskInfo& task = added[0].task;
    EXPECT_EQ(added[0].kind, OSTREL_KIND_USER_VIDEO);
    EXPECT_EQ(task.address, a.convert_media_url);
    EXPECT_EQ(task.title, a.title);
    EXPECT_EQ(task.mode, 1);
    EXPECT_EQ(plat::utf16_to_utf8(task.local_path), downloads.path() + "/abc.flv");
}

TEST_F(SyncPage, HDModeChoosesTheDownloadQuality)
{
    const struct {
        std::optional<DWORD> value;
        LONG quality;
    } cases[] = {{std::nullopt, 2}, {0, 1}, {1, 2}};
    start(&ostrel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? int(*c.value) : -1);
        set_hd_mode(c.value);
        const auto queued = item("clip");
        page.AddVideo(queued);
        const auto added = ostrel.added();
        ASSERT_FALSE(added.empty());
        EXPECT_EQ(added.back().task.quality, c.quality);
        download_ends(queued, DOWNLOAD_FAILED);   // the next case's item becomes the head
    }
}

TEST_F(SyncPage, OnlyTheHeadsOwnDownloadCountsAndItsProgressShowsOnItsRow)
{
    start(&ostrel);
    const auto a = item("a");
    const auto b = item("b");
    page.AddVideo(a);
    page.AddVideo(b);
    const std::string own = downloads.path() + "/a.flv";
    const struct {
        const char* name;
        std::string key;
        std::string file;
    } others[] = {
        {"another video", "http://elsewhere.example/x", downloads.path() + "/x.flv"},
        // The player or the prefetch fetching the same video into a file of their own.
        {"the head's video into another file", a.original_media_url, downloads.path() + "/cache/5f3a0c"},
        {"a queued video that is not the head", b.original_media_url, downloads.path() + "/b.flv"},
    };
    for (const auto& other : others) {
        SCOPED_TRACE(other.name);
        DownloadTaskInfo task;
        task.key = other.key;
        task.local_path = plat::utf8_to_utf16(other.file);
        page.OnDownloadEvent(&task, EVT_DOWNLOAD_PROGRESS, 5000, 37);
        page.OnDownloadEvent(&task, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
        page.OnDownloadEvent(&task, EVT_DOWNLOAD_STATE, DOWNLOAD_FAILED, 0);
        EXPECT_EQ(page.QueuedIds(), (std::vector<std::int64_t>{a.id, b.id}));
        // Both rows still read as they were queued.
        EXPECT_EQ(row_text(a.id), "not start sync to ipod.");
        EXPECT_EQ(row_text(b.id), "not start sync to ipod.");
    }
    EXPECT_EQ(maker.made(), 0u) << "only the head's own download starts a transcode";
    DownloadTaskInfo head;
    head.key = a.original_media_url;
    head.local_path = plat::utf8_to_utf16(own);
    page.OnDownloadEvent(&head, EVT_DOWNLOAD_PROGRESS, 5000, 37);
    EXPECT_EQ(row_text(a.id), "Downloading      37%");
}

TEST_F(SyncPage, AFinishedDownloadIsTranscodedBesideItAndTheQueueMovesOn)
{
    start(&ostrel);
    const auto a = item("a");
    const auto b = item("b");
    page.AddVideo(a);
    page.AddVideo(b);
    download_ends(a, DOWNLOAD_FINISHED);
    sync_test::FakeEngine* engine = maker.wait_for_run();
    ASSERT_TRUE(engine);
    const std::string flv = downloads.path() + "/a.flv";
    const std::string mp4 = downloads.path() + "/a.mp4";
    EXPECT_EQ(engine->calls(), (std::vector<std::string>{"3", "12289 " + flv, "28672 " + mp4 + ".part", "4098"}));

    page.UpdateTranscodePercent();
    EXPECT_EQ(row_text(a.id), "Transcoding      0%") << "no duration yet";
    engine->raise(EVT_DURATION, 10);
    engine->raise(EVT_POSITION, 5);
    page.UpdateTranscodePercent();
    EXPECT_EQ(row_text(a.id), "Transcoding      50%");

    EXPECT_FALSE(std::filesystem::exists(mp4)) << "nothing at the output's name before the end";
    engine->raise(EVT_COMPLETE);
    EXPECT_EQ(posted, 1);
    page.OnTranscodeFinished();
    EXPECT_TRUE(std::filesystem::exists(mp4));
    EXPECT_FALSE(std::filesystem::exists(mp4 + ".part"));
    EXPECT_TRUE(eventually([&] { return maker.released() == 1; }));
    EXPECT_EQ(page.QueuedIds(), std::vector<std::int64_t>{b.id});
    EXPECT_EQ(ostrel.calls().back(), "start " + b.original_media_url);
    // No player library is registered here: the copy fails, on the row of the item it copied.
    EXPECT_TRUE(eventually([&] { return row_text(a.id) == "failed sync to ipod."; })) << row_text(a.id);
    page.UpdateTranscodePercent();
    EXPECT_EQ(row_text(b.id), "not start sync to ipod.") << "no transcode runs";
}

TEST_F(SyncPage, EachFailureShowsFailedAndMovesOn)
{
    enum class Fault { DownloadFails, AddRefused, StartRefused, RunRefused, NoEngine, EngineFails };
    const struct {
        const char* name;
        Fault fault;
    } cases[] = {
        {"the download fails", Fault::DownloadFails},
        {"the download manager refuses the task", Fault::AddRefused},
        {"the download manager refuses to start it", Fault::StartRefused},
        {"the transcode engine refuses to run", Fault::RunRefused},
        {"no transcode engine can be made", Fault::NoEngine},
        {"the transcode fails while running", Fault::EngineFails},
    };
    start(&ostrel);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        maker.run_answer = c.fault == Fault::RunRefused ? -1 : 1;
        maker.makes = c.fault != Fault::NoEngine;
        ostrel.answer(c.fault == Fault::AddRefused ? 0 : 1, c.fault == Fault::StartRefused ? 0 : 1);
        const auto a = item("a");
        const auto b = item("b");
        page.AddVideo(a);
        ostrel.answer(1, 1);
        page.AddVideo(b);
        switch (c.fault) {
        case Fault::DownloadFails: download_ends(a, DOWNLOAD_FAILED); break;
        case Fault::AddRefused:
        case Fault::StartRefused: break;
        case Fault::RunRefused:
        case Fault::NoEngine: download_ends(a, DOWNLOAD_FINISHED); break;
        case Fault::EngineFails: {
            const int before = posted;
            const std::size_t engines = maker.made();
            download_ends(a, DOWNLOAD_FINISHED);
            sync_test::FakeEngine* engine = maker.wait_for_run(engines);
            ASSERT_TRUE(engine);
            engine->raise(EVT_GRAPH_FAILED);
            EXPECT_EQ(posted, before + 1);
            page.OnTranscodeFinished();
            break;
        }
        }
        EXPECT_TRUE(queue_is({b.id}));
        EXPECT_EQ(row_text(a.id), "failed sync to ipod.");
        EXPECT_FALSE(std::filesystem::exists(downloads.path() + "/a.mp4"));
        EXPECT_FALSE(std::filesystem::exists(downloads.path() + "/a.mp4.part"));
        EXPECT_TRUE(eventually([&] { return ostrel.calls().back() == "start " + b.original_media_url; }))
            << "the next video downloads";
        download_ends(b, DOWNLOAD_FAILED);   // empties the queue for the next case
        EXPECT_TRUE(queue_is({}));
    }
}

TEST_F(SyncPage, WithoutADownloadManagerNothingMoves)
{
    start(nullptr);
    const auto a = item("a");
    const auto b = item("b");
    page.AddVideo(a);
    page.AddVideo(b);
    EXPECT_EQ(page.QueuedIds(), (std::vector<std::int64_t>{a.id, b.id}));
    page.OnTranscodeFinished();
    EXPECT_EQ(page.QueuedIds(), (std::vector<std::int64_t>{a.id, b.id}));
    EXPECT_EQ(maker.made(), 0u);
}

TEST_F(SyncPage, TheDeviceTextFollowsThePlayers)
{
    plat::TempFolder drives;
    for (const char* name : {"/one/iPod_Control", "/two/iTunes_Control"})
        std::filesystem::create_directories(drives.path() + name);
    plat::VolumeMonitor::instance().use_given_volumes({{'E', plat::DriveKind::Removable, drives.path() + "/one"},
                                                       {'G', plat::DriveKind::Removable, drives.path() + "/two"}});
    start(&ostrel);
    EXPECT_EQ(device_text(), "(Connected)");
    auto change = [&](WPARAM event, char letter) {
        DEV_BROADCAST_VOLUME volume{sizeof(DEV_BROADCAST_VOLUME), DBT_DEVTYP_VOLUME, 0, DWORD{1} << (letter - 'A'), 0};
        EXPECT_TRUE(page.OnDeviceChange(event, reinterpret_cast<LPARAM>(&volume)));
        return device_text();
    };
    EXPECT_EQ(change(DBT_DEVICEREMOVECOMPLETE, 'E'), "(Connected)") << "the other player is still there";
    EXPECT_EQ(change(DBT_DEVICEREMOVECOMPLETE, 'G'), "(Not Connected)");
    EXPECT_EQ(change(DBT_DEVICEARRIVAL, 'E'), "(Connected)");
}

TEST_F(SyncPage, TheRowMarksPauseAndResumeTheDownload)
{
    start(&ostrel);
    const auto a = item("a");
    const auto b = item("b");
    page.AddVideo(a);
    page.AddVideo(b);
    ostrel.clear();
    select(0);
    EXPECT_EQ(mark_of(a.id), "pause") << "the head downloads";
    press_mark(a.id);
    EXPECT_EQ(ostrel.calls(), std::vector<std::string>{"pause " + a.original_media_url});
    EXPECT_EQ(mark_of(a.id), "play");
    EXPECT_EQ(row_of(a.id)->SyncRecord().download_status, 0);
    press_mark(a.id);
    EXPECT_EQ(ostrel.calls().back(), "resume " + a.original_media_url);
    EXPECT_EQ(mark_of(a.id), "pause");

    DownloadTaskInfo progress;
    progress.key = a.original_media_url;
    progress.local_path = plat::utf8_to_utf16(downloads.path() + "/a.flv");
    page.OnDownloadEvent(&progress, EVT_DOWNLOAD_PROGRESS, 5000, 37);
    EXPECT_EQ(row_text(a.id), "Downloading      37%") << "a mark's turn keeps the stage text";
    press_mark(a.id);
    EXPECT_EQ(row_text(a.id), "Downloading      37%");

    select(1);
    EXPECT_EQ(mark_of(b.id), "play") << "a queued item waits";
    download_ends(a, DOWNLOAD_FINISHED);
    select(0);
    EXPECT_EQ(mark_of(a.id), "none") << "a finished download has nothing to pause";
    EXPECT_TRUE(eventually([&] { return maker.made() == 1; }));
}

TEST_F(SyncPage, AMarkAsksNothingWithoutADownloadManager)
{
    start(nullptr);
    const auto a = item("a");
    page.AddVideo(a);
    select(0);
    EXPECT_EQ(mark_of(a.id), "play");
    press_mark(a.id);
    EXPECT_EQ(mark_of(a.id), "play");
}

// A download manager that has the file already: it reports the task
// finished while it is being added, as the real one does.
class CompleteOstrel final : public ostrel_test::RefusingOstrel {
public:
    std::function<void(const DownloadTaskInfo&)> on_add;
    LONG AddTask(const DownloadTaskInfo* task, LONG) override
    {
        if (on_add) on_add(*task);
        return 1;
    }
    LONG Start(LONG, const char*, LONG) override { return 1; }
};

TEST_F(SyncPage, AFileFinishedWhileBeingAddedStaysFinished)
{
    CompleteOstrel complete;
    complete.on_add = [&](const DownloadTaskInfo& task) {
        std::ofstream(plat::utf16_to_utf8(task.local_path)) << "flv";
        DownloadTaskInfo finished = task;
        page.OnDownloadEvent(&finished, EVT_DOWNLOAD_STATE, DOWNLOAD_FINISHED, 0);
    };
    start(&complete);
    const auto a = item("a");
    page.AddVideo(a);
    select(0);
    EXPECT_EQ(mark_of(a.id), "none") << "nothing left to pause";
    EXPECT_TRUE(maker.wait_for_run()) << "the transcode starts";
}
