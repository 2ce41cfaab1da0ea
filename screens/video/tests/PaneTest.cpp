#include "screens/video/wdownloadlist.h"
#include "screens/video/wdownloadlistitem.h"
#include "screens/video/wrightwindow.h"
#include "screens/video/wsyncdevicelist.h"
#include "screens/video/wsyncdevicelistitem.h"
#include "screens/video/wtitlewindow.h"

#include "FeedDbFixture.h"
#include "toolkit/controls/tests/ControlRig.h"
#include "toolkit/controls/wimage.h"
#include "toolkit/controls/wtext.h"
#include "toolkit/render/picture.h"

#include "platform/base/Utf.h"
#include "platform/d3d9/ImageFile.h"
#include "platform/fs/Files.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using namespace UI;

namespace {

wtitlewindow* pane(const std::string& name, float height)
{
    auto* p = new wtitlewindow(name);
    p->SetSize(199, height);
    return p;
}

// 33 ms ticks until the pane's fold has run; the ticks taken.
int ticks_to_fold(wtitlewindow& p)
{
    int ticks = 0;
    while (p.GetAnimationMgr().IsRunning() && ticks < 100) {
        p.GetAnimationMgr().Tick(33);
        ++ticks;
    }
    return ticks;
}

void click_title(wtitlewindow& p)
{
    EventArgs click;
    click.sender = p.TitleBar();
    p.TitleBar()->FireEvent("window_click", click);
}

std::vector<float> tops(const wrightwindow& right)
{
    std::vector<float> out;
    for (const wtitlewindow* p : right.Panes()) out.push_back(p->GetY());
    return out;
}

bool same(fcolor a, fcolor b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

}  // namespace

TEST(wtitlewindow, AFoldTakes500MsWhateverTheDistance)
{
    test::ControlScene scene;
    for (const float height : {60.0f, 400.0f}) {
        SCOPED_TRACE(height);
        window parent("parent");
        parent.SetSize(199, 600);
        wtitlewindow* p = pane("pane", height);
        parent.AddChild(p);
        p->OnSizeChanged();
        p->SetFolded(true);
        EXPECT_EQ(ticks_to_fold(*p), 16);   // 0..500 ms in steps of 33
        EXPECT_FLOAT_EQ(p->GetHeight(), wtitlewindow::TitleHeight);
        EXPECT_FALSE(p->Content()->IsVisible());
        p->SetFolded(true);   // twice: still folded
        ticks_to_fold(*p);
        EXPECT_TRUE(p->IsFolded());
        EXPECT_FLOAT_EQ(p->GetHeight(), wtitlewindow::TitleHeight);
        p->SetFolded(false);
        EXPECT_EQ(ticks_to_fold(*p), 16);
        EXPECT_FLOAT_EQ(p->GetHeight(), height);
        EXPECT_TRUE(p->Content()->IsVisible());
    }
}

TEST(wrightwindow, TitleClicksFoldAsAnAccordionAndRestack)
{
    test::ControlScene scene;
    wrightwindow right;
    right.SetSize(199, 700);
    for (const auto& [name, height] : {std::pair{"a", 100.0f}, {"b", 150.0f}, {"c", 200.0f}})
        right.AddPane(pane(name, height));
    for (wtitlewindow* p : right.Panes()) p->OnSizeChanged();
    EXPECT_EQ(tops(right), (std::vector<float>{0, 100, 250}));
    click_title(*right.Panes()[0]);   // toggles a (folds it), folds the rest
    EXPECT_EQ(tops(right), (std::vector<float>{0, 21, 42}));
    click_title(*right.Panes()[1]);   // b opens, the rest stay folded
    EXPECT_EQ(tops(right), (std::vector<float>{0, 21, 171}));
    EXPECT_FALSE(right.Panes()[1]->IsFolded());
    right.Panes()[2]->SetFoldable(false);   // a fixed pane counts its height
    right.Panes()[1]->SetFolded(true);
    right.Stack();
    EXPECT_EQ(tops(right), (std::vector<float>{0, 21, 42}));
}

TEST(wrightwindow, PanesStayFivePixelsShortOfTheWindowWithTheirLists)
{
    test::ControlScene scene;
    wrightwindow right;
    right.SetSize(199, 700);
    wtitlewindow* tall = pane("tall", 600);
    wtitlewindow* small = pane("small", 100);
    right.AddPane(tall);
    right.AddPane(small);
    auto* list = new wdownloadlist("list");
    tall->SetList(list, 0);
    for (const float height : {700.0f, 400.0f, 3.0f}) {
        SCOPED_TRACE(height);
        right.SetSize(199, height);
        const float limit = std::max(0.0f, height - 5);
        EXPECT_FLOAT_EQ(tall->GetHeight(), std::min(600.0f, limit));
        EXPECT_FLOAT_EQ(small->GetHeight(), std::min(100.0f, limit));
        EXPECT_FLOAT_EQ(list->GetHeight(), std::max(0.0f, tall->GetHeight() - wtitlewindow::TitleHeight));
        EXPECT_FLOAT_EQ(small->GetY(), tall->StackHeight());
    }
}

TEST(wrightwindow, TheDevicePaneShowsOnlyWithEnableIPOD)
{
    plat::TemporaryRegistry registry;
    const struct {
        std::optional<DWORD> value;
        bool shown;
    } cases[] = {{std::nullopt, false}, {0, false}, {1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value ? int(*c.value) : -1);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (c.value)
            RegSetValueExW(key, u"EnableIPOD", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&*c.value), sizeof(DWORD));
        RegCloseKey(key);
        test::ControlScene scene;
        wrightwindow right;
        right.SetSize(199, 700);
        right.CreatePanes();
        ASSERT_EQ(right.Panes().size(), 2u);
        EXPECT_EQ(right.Panes()[0]->GetName(), "window-mydownload");
        EXPECT_TRUE(right.Panes()[0]->GetShowState());
        EXPECT_EQ(right.Panes()[1]->GetName(), "window-syncdevice");
        EXPECT_EQ(right.Panes()[1]->GetShowState(), c.shown);
        // The device pane's rows are device rows; its bar has a place for the device's state.
        EXPECT_NE(dynamic_cast<wsyncdevicelist*>(right.Panes()[1]->GetList()), nullptr);
        EXPECT_NE(right.Panes()[1]->TitleBar()->FindChild("widget-myipodstatus-text"), nullptr);
    }
}

// The drag hint lies under each pane's list: written through the first row
// unless it shows only while the list is empty.
TEST(wrightwindow, TheDragHintShowsOnlyWhileThePanesListIsEmpty)
{
    plat::TemporaryRegistry registry;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Corvalen\\Strimo", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key, nullptr),
              ERROR_SUCCESS);
    const DWORD on = 1;
    RegSetValueExW(key, u"EnableIPOD", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(DWORD));
    RegCloseKey(key);
    test::ControlScene scene;
    wrightwindow right;
    right.SetSize(199, 700);
    right.CreatePanes();
    const char* hints[] = {"wtext-mydownload-dragtext", "wtext-syncdevice-dragtext"};
    for (std::size_t i = 0; i < right.Panes().size(); ++i) {
        wtitlewindow& pane = *right.Panes()[i];
        SCOPED_TRACE(pane.GetName());
        widget* hint = pane.Content()->FindChild(hints[i]);
        ASSERT_NE(hint, nullptr);
        wtlist& list = *pane.GetList();
        pane.Draw();
        EXPECT_TRUE(hint->GetShowState()) << "empty list";
        list.AddRow(i == 0 ? static_cast<wtlistitem*>(new wdownloadlistitem()) : new wsyncdevicelistitem());
        pane.Draw();
        EXPECT_FALSE(hint->GetShowState()) << "one row";
        list.RemoveRow(0);
        for (int frame = 0; frame < 300 && list.GetRowCount() > 0; ++frame) pane.Draw();
        ASSERT_EQ(list.GetRowCount(), 0);
        pane.Draw();
        EXPECT_TRUE(hint->GetShowState()) << "the last row removed";
    }
}

class DownloadRow : public feeddb_test::FeedDb {
protected:
    test::ControlScene scene;

    std::int64_t item(const std::string& title, int status, const std::string& thumbnail)
    {
        RSSData::tRSSItem record = item_record(channel, title);
        record.set_status(status);
        record.local_thumb_file_path = thumbnail;
        EXPECT_EQ(db.InsertItem(&record), 0);
        return record.id;
    }
};

TEST_F(DownloadRow, LoadItemTiesTheFinishedMarkAndOneHundredPercent)
{
    const struct {
        const char* name;
        int status;
        int percent;
        int shown_percent;
        int state;
        bool percent_visible;
    } cases[] = {
        {"downloading", 1024, 40, 40, 1, true},
        {"finished by its row", 0, 100, 100, 3, false},
        {"finished by its record", 1280, 40, 100, 3, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t id = item(c.name, c.status, dir.path() + "/missing.jpg");
        wdownloadlistitem row;
        ItemDownloadRecord download;
        download.id = id;
        download.status = 1;
        download.percent = c.percent;
        ASSERT_TRUE(row.LoadItem(download, db));
        EXPECT_EQ(row.Row().percent, c.shown_percent);
        EXPECT_EQ(row.Row().status, c.state);
        EXPECT_EQ(plat::utf16_to_utf8(row.Title()->GetText()), c.name);
        EXPECT_EQ(plat::utf16_to_utf8(row.Percent()->GetText()), std::to_string(c.shown_percent) + "%");
        EXPECT_EQ(row.Percent()->GetShowState(), c.percent_visible);
        ASSERT_TRUE(row.Thumbnail()->GetPicture());
        EXPECT_EQ(row.Thumbnail()->GetPicture()->GetName(), "black_image");   // the file is missing
    }
    wdownloadlistitem row;
    ItemDownloadRecord none;
    none.id = 987654;
    EXPECT_FALSE(row.LoadItem(none, db));
}

TEST(wdownloadlistitem, QualityMarkColours)
{
    test::ControlScene scene;
    wdownloadlistitem row;
    auto* mark = new wimage("mark");
    row.AddChild(mark);
    row.SetMark(mark);
    row.SetQualityMark(1280);
    EXPECT_FALSE(row.Percent()->GetShowState());
    EXPECT_TRUE(same(row.Percent()->GetColor(), {0, 0, 255}));
    EXPECT_TRUE(same(row.Title()->GetColor(), {255, 255, 255}));
    EXPECT_FALSE(mark->GetShowState());
    row.SetQualityMark(1024);
    EXPECT_TRUE(row.Percent()->GetShowState());
    EXPECT_TRUE(same(row.Percent()->GetColor(), {205, 111, 83}));
    EXPECT_TRUE(same(row.Title()->GetColor(), {188, 188, 188}));
    EXPECT_TRUE(mark->GetShowState());
    row.SetMark(nullptr);
}

TEST(wdownloadlist, TheSelectedRowCarriesPlayOrPause)
{
    test::ControlScene scene;
    wdownloadlist list("wdownloadlist-mydownload");
    list.SetSize(199, 300);
    const struct {
        int status;
        int percent;
        const char* mark;
    } rows[] = {{0, 40, "wimage-wtlistitem-play"}, {2, 40, "wimage-wtlistitem-pause"}, {0, 100, nullptr}};
    std::vector<wdownloadlistitem*> made;
    for (const auto& r : rows) {
        auto* row = new wdownloadlistitem();
        ItemDownloadRecord record;
        record.status = r.status;
        record.percent = r.percent;
        row->SetRow(record);
        list.AddRow(row);
        made.push_back(row);
    }
    for (std::size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(i);
        list.SelectAndScroll(int(i));
        widget* mark = made[i]->GetMark();
        if (rows[i].mark) {
            ASSERT_TRUE(mark);
            EXPECT_EQ(mark->GetName(), rows[i].mark);
            EXPECT_EQ(mark->GetParent(), made[i]);
        } else {
            EXPECT_EQ(mark, nullptr);
        }
        for (std::size_t j = 0; j < made.size(); ++j) {
            if (j != i) {
                EXPECT_EQ(made[j]->GetMark(), nullptr);
            }
        }
        list.ClearScrollOverride();
    }
}

class DeviceRow : public DownloadRow {
protected:
    ItemSyncRecord record(std::int64_t id, int download_status, int percent, int sync_status)
    {
        ItemSyncRecord r;
        r.id = id;
        r.type = 4;
        r.download_status = download_status;
        r.download_percent = percent;
        r.sync_status = sync_status;
        r.total_size = 5'000'000'000;
        return r;
    }
    std::string png(const std::string& name)
    {
        const std::vector<std::uint32_t> pixels(16 * 12, 0xff3080c0u);
        const std::string path = dir.path() + "/" + name;
        std::string error;
        EXPECT_TRUE(plat::encode_image_file(path, plat::ImageFileKind::Png, pixels.data(), 16, 12, 16, error)) << error;
        return path;
    }
};

// The text under the title tells the sync status in words: a status is no
// percentage (shown as one, a finished copy read "3%").
TEST_F(DeviceRow, LoadItemShowsTheItemAndItsSyncStatusWithoutAQualityMark)
{
    const struct {
        const char* name;
        int item_status;
        int download_status;
        int percent;
        int sync_status;
        const char* text;
    } cases[] = {
        {"queued", 0, 0, 0, 0, "not start sync to ipod."},
        {"downloading", 1024, 1, 40, 2, "processing sync to ipod."},
        // A high-quality item keeps its grey title: device rows carry no quality mark.
        {"high quality", 1280, 1, 40, 3, "finish sync to ipod."},
        {"already on the device", 0, 3, 100, 6, "the file has beed synced."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t id = item(c.name, c.item_status, "");
        wsyncdevicelistitem row;
        const ItemSyncRecord sync = record(id, c.download_status, c.percent, c.sync_status);
        ASSERT_TRUE(row.LoadItem(sync, db));
        EXPECT_EQ(row.SyncRecord().sync_status, c.sync_status);
        EXPECT_EQ(row.SyncRecord().total_size, 5'000'000'000);
        EXPECT_EQ(row.Row().id, id);
        EXPECT_EQ(row.Row().percent, c.percent);
        EXPECT_EQ(row.Row().status, c.download_status);
        EXPECT_EQ(plat::utf16_to_utf8(row.Title()->GetText()), c.name);
        EXPECT_TRUE(same(row.Title()->GetColor(), {156, 156, 156}));
        EXPECT_EQ(plat::utf16_to_utf8(row.Percent()->GetText()), c.text);
        EXPECT_TRUE(row.Percent()->GetShowState());
        ASSERT_TRUE(row.Thumbnail()->GetPicture());
        EXPECT_EQ(row.Thumbnail()->GetPicture()->GetName(), "black_image");   // no local thumbnail
    }
}

TEST_F(DeviceRow, ThumbnailsLoadOnceUnderTheirPathAndUnloadableOnesShowBlack)
{
    const std::string garbage = dir.path() + "/garbage.jpg";
    ASSERT_EQ(plat::write_file_atomic(garbage, "this is no picture"), 0);
    const std::string good = png("thumb with blanks.png");
    const struct {
        const char* name;
        std::string file;
        bool loads;
    } cases[] = {
        {"missing file", dir.path() + "/missing.jpg", false},
        {"not a picture", garbage, false},
        {"a picture", good, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::int64_t id = item(c.name, 0, c.file);
        wsyncdevicelistitem first;
        wsyncdevicelistitem second;
        ASSERT_TRUE(first.LoadItem(record(id, 0, 0, 0), db));
        ASSERT_TRUE(second.LoadItem(record(id, 0, 0, 0), db));
        ASSERT_TRUE(first.Thumbnail()->GetPicture());
        ASSERT_TRUE(second.Thumbnail()->GetPicture());
        EXPECT_EQ(first.Thumbnail()->GetPicture()->GetName(), c.loads ? c.file : "black_image");
        // The second row of the item finds the picture the first one loaded.
        EXPECT_EQ(second.Thumbnail()->GetPicture(), first.Thumbnail()->GetPicture());
    }
}

TEST_F(DeviceRow, AnItemGoneFromTheDatabaseLeavesTheRowUnchanged)
{
    const std::int64_t id = item("soon gone", 0, "");
    wsyncdevicelistitem row;
    ASSERT_TRUE(row.LoadItem(record(id, 1, 30, 2), db));
    ASSERT_EQ(db.DeleteItem(id), 0);
    EXPECT_FALSE(row.LoadItem(record(id, 3, 100, 6), db));
    EXPECT_EQ(row.SyncRecord().sync_status, 2);
    EXPECT_EQ(row.Row().percent, 30);
    EXPECT_EQ(plat::utf16_to_utf8(row.Title()->GetText()), "soon gone");
    EXPECT_EQ(plat::utf16_to_utf8(row.Percent()->GetText()), "processing sync to ipod.");
}

TEST_F(DeviceRow, TheSelectedRowCarriesPlayOrPauseByItsDownload)
{
    wsyncdevicelist list("wdownloadlist_syncipod");
    list.SetSize(199, 300);
    const struct {
        int download_status;
        int percent;
        const char* mark;
    } rows[] = {{0, 40, "wimage-wtlistitem-play"}, {2, 40, "wimage-wtlistitem-pause"}, {3, 100, nullptr}};
    std::vector<wsyncdevicelistitem*> made;
    for (const auto& r : rows) {
        auto* row = new wsyncdevicelistitem();
        ASSERT_TRUE(row->LoadItem(record(item("row", 0, ""), r.download_status, r.percent, 1), db));
        list.AddRow(row);
        made.push_back(row);
    }
    for (std::size_t i = 0; i < made.size(); ++i) {
        SCOPED_TRACE(i);
        list.SelectAndScroll(int(i));
        widget* mark = made[i]->GetMark();
        if (rows[i].mark) {
            ASSERT_TRUE(mark);
            EXPECT_EQ(mark->GetName(), rows[i].mark);
            EXPECT_EQ(mark->GetParent(), made[i]);
        } else {
            EXPECT_EQ(mark, nullptr);
        }
        list.ClearScrollOverride();
    }
}
