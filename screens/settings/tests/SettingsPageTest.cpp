// The settings window's pages: what each shows from the registry, what Apply
// stores and whom it tells, that switching tabs and Cancel drop what was not
// applied, the prefetch check boxes, and the two folder choosers.

#include "screens/settings/tests/SettingsRig.h"

#include "components/common/feeddb/CRSSDBMgr.h"
#include "core/updater/CRSSUpdater.h"
#include "platform/base/Utf.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/fs/Autostart.h"
#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"
#include "platform/window/FileDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <list>

using settings_test::SettingsRig;

namespace {

const char* const Tabs[] = {"wselectbtn_generalsetting", "wselectbtn_rsssetting", "wselectbtn_downloadsetting",
                            "wselectbtn_prefetchsetting"};

struct CheckCase {
    int page;
    const char* control;
    const WCHAR* value;
    bool shown_when_missing;
    DWORD stored_on;
    DWORD stored_off;
};

const CheckCase CheckCases[] = {
    {0, "wselectbtn_autorun", u"AutoRun", false, 1, 0},
    {0, "wselectbtn_startasfullscreen", u"StartAsFullScreen", false, 1, 0},
    {0, "wselectbtn_totray", u"ToTray", true, 1, 0},
    {0, "wselectbtn_networkall", u"MultiDownCount", true, 3, 1},
    {2, "wselectbtn_videohighquality", u"HDMode", true, 1, 0},
    {3, "wselectbtn_enableprefetch", u"EnablePrefetch", true, 1, 0},
    {3, "wselectbtn_prefetchmyfavorites", u"PrefetchMyFavorites", true, 1, 0},
};

std::string read_text(const std::string& path)
{
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

TEST(SettingsPage, EachCheckBoxShowsItsDefaultStoresItsStateAndFollowsTheRegistry)
{
    for (const CheckCase& c : CheckCases) {
        SCOPED_TRACE(c.control);
        SettingsRig rig;
        rig.click_select(Tabs[c.page]);
        ASSERT_EQ(rig.page->GetCurrentPage(), c.page);
        EXPECT_EQ(rig.selected(c.control), c.shown_when_missing);

        // Entered, applied: stored as the opposite of the default.
        rig.click_select(c.control);
        rig.click_button("wbtn-apply-setting");
        EXPECT_EQ(SettingsRig::stored(c.value), c.shown_when_missing ? c.stored_off : c.stored_on);
        EXPECT_EQ(rig.selected(c.control), !c.shown_when_missing);

        // Stored elsewhere, then Cancel: shown as stored. The prefetch switch
        // is shown from the manager, which the Apply above turned.
        if (c.page != 3) {
            SettingsRig::store(c.value, c.shown_when_missing ? c.stored_on : c.stored_off);
            rig.click_button("wbtn-cancel-setting");
            EXPECT_EQ(rig.selected(c.control), c.shown_when_missing);
        }
    }
}

TEST(SettingsPage, ApplyTellsThePartsThatUseTheValues)
{
    SettingsRig rig;
    rig.click_select("wselectbtn_networkall");   // accelerator off
    rig.click_select("wselectbtn_autorun");      // start with the session
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(rig.downloader.multi, std::optional<BOOL>(FALSE));
    const std::optional<std::string> entry = plat::autostart_entry_path();
    ASSERT_TRUE(entry);
    const std::string desktop = read_text(*entry);
    EXPECT_NE(desktop.find("\"" + plat::program_file() + "\" /ToTrayIcon"), std::string::npos) << desktop;

    rig.click_select("wselectbtn_autorun");
    rig.click_select("wselectbtn_networkall");
    rig.click_button("wbtn-apply-setting");
    EXPECT_FALSE(std::filesystem::exists(*entry));
    EXPECT_EQ(rig.downloader.multi, std::optional<BOOL>(TRUE));

    rig.click_select(Tabs[2]);
    rig.click_select("wselectbtn_videohighquality");
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(rig.logic.high_quality, std::optional<bool>(false));

    // Without a controller the values are still stored.
    rig.page->SetLogic(nullptr);
    rig.click_select("wselectbtn_videohighquality");
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(SettingsRig::stored(u"HDMode"), 1u);
}

TEST(SettingsPage, NumbersAreLimitedStoredShownAndGivenToTheUpdater)
{
    const struct {
        const char16_t* items;
        const char16_t* minutes;
        DWORD stored_items;
        DWORD stored_minutes;
    } cases[] = {
        {u"10", u"5", 25, 10},           {u"9999", u"2000", 500, 1440}, {u"-5", u"-1", 500, 1440},
        {u"200", u"90", 200, 90},        {u"abc", u"", 25, 10},         {u" 42x", u"+30", 42, 30},
        {u"99999999999999999999", u"1441", 500, 1440},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.items));
        SettingsRig rig;
        CRSSDBMgr database;
        CRSSUpdater updater(database, nullptr, 3600, 200, std::string(), -1, {});
        rig.logic.updater = &updater;
        rig.click_select(Tabs[1]);
        rig.type("wtext-maxrssitem-setting-rss", c.items);
        rig.type("wtext-timeinterval-setting-rss", c.minutes);
        rig.click_button("wbtn-apply-setting");
        EXPECT_EQ(SettingsRig::stored(u"RSSItemNumber"), c.stored_items);
        EXPECT_EQ(SettingsRig::stored(u"RetrieveRSSTime"), c.stored_minutes);
        EXPECT_EQ(rig.text("wtext-maxrssitem-setting-rss"), plat::utf8_to_utf16(std::to_string(c.stored_items)));
        EXPECT_EQ(rig.text("wtext-timeinterval-setting-rss"),
                  plat::utf8_to_utf16(std::to_string(c.stored_minutes)));
        EXPECT_EQ(updater.Interval(), c.stored_minutes * 60);
        EXPECT_EQ(updater.MaxItems(), std::int32_t(c.stored_items));
    }
}

TEST(SettingsPage, StoredNumbersAreShownTheItemCountOnlyWithinItsRange)
{
    const struct {
        std::optional<DWORD> items;
        std::optional<DWORD> minutes;
        const char16_t* shown_items;
        const char16_t* shown_minutes;
    } cases[] = {
        {std::nullopt, std::nullopt, u"200", u"60"},
        {10, 5, u"200", u"60"},   // out of range: what the program runs with
        {600, 5000, u"200", u"60"},
        {25, 10, u"25", u"10"},
        {500, 1440, u"500", u"1440"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.shown_items));
        SettingsRig rig;
        if (c.items) SettingsRig::store(u"RSSItemNumber", *c.items);
        if (c.minutes) SettingsRig::store(u"RetrieveRSSTime", *c.minutes);
        rig.click_select(Tabs[1]);
        rig.click_button("wbtn-cancel-setting");
        EXPECT_EQ(rig.text("wtext-maxrssitem-setting-rss"), c.shown_items);
        EXPECT_EQ(rig.text("wtext-timeinterval-setting-rss"), c.shown_minutes);
    }
}

TEST(SettingsPage, FoldersAreAppliedToTheSettings)
{
    SettingsRig rig;
    plat::VolumeMonitor::instance().use_given_volumes({{'C', plat::DriveKind::Fixed, rig.home.path()}});
    const std::string cache = rig.home / "cache", downloads = rig.home / "downloads";
    std::vector<std::string> answers = {cache, downloads};
    plat::set_chooser_runner([&](const std::vector<std::string>&) {
        std::string answer = answers.front();
        answers.erase(answers.begin());
        return std::optional<plat::ProgramOutput>(plat::ProgramOutput{0, answer + "\n"});
    });
    rig.click_select(Tabs[2]);
    rig.page->BrowseFolder(UI::wsettingpage::CommandBrowseCache);
    rig.page->BrowseFolder(UI::wsettingpage::CommandBrowseDownload);
    plat::set_chooser_runner({});
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(plat::utf16_to_utf8(rig.settings.GetPath(1)), cache);
    EXPECT_EQ(plat::utf16_to_utf8(rig.settings.GetPath(9)), downloads);
    rig.click_select(Tabs[0]);
    rig.click_select(Tabs[2]);
    EXPECT_EQ(plat::utf16_to_utf8(rig.text("wtext-cachedir-setting-playback")), cache);
    EXPECT_EQ(plat::utf16_to_utf8(rig.text("wtext-downloaddir-setting-playback")), downloads);
}

TEST(SettingsPage, SwitchingTabsDropsWhatWasNotApplied)
{
    const struct {
        int page;
        const char* what;
        void (*edit)(SettingsRig&);
        void (*check)(SettingsRig&);
    } cases[] = {
        {0, "a check box", [](SettingsRig& r) { r.click_select("wselectbtn_startasfullscreen"); },
         [](SettingsRig& r) { EXPECT_FALSE(r.selected("wselectbtn_startasfullscreen")); }},
        {1, "a number", [](SettingsRig& r) { r.type("wtext-maxrssitem-setting-rss", u"77"); },
         [](SettingsRig& r) { EXPECT_EQ(r.text("wtext-maxrssitem-setting-rss"), u"200"); }},
        {2, "a folder",
         [](SettingsRig& r) {
             r.type("wtext-cachedir-setting-playback", u"/elsewhere");
             r.type("wtext-downloaddir-setting-playback", u"/elsewhere");
         },
         [](SettingsRig& r) {
             EXPECT_EQ(r.text("wtext-cachedir-setting-playback"), r.settings.GetPath(1));
             EXPECT_EQ(r.text("wtext-downloaddir-setting-playback"), r.settings.GetPath(9));
         }},
        {3, "the prefetch switch", [](SettingsRig& r) { r.click_select("wselectbtn_enableprefetch"); },
         [](SettingsRig& r) {
             EXPECT_TRUE(r.selected("wselectbtn_enableprefetch"));
             EXPECT_TRUE(r.selected("wselectbtn_prefetchmyfavorites"));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SettingsRig rig;
        rig.click_select(Tabs[c.page]);
        c.edit(rig);
        const int other = (c.page + 1) % 4;
        rig.click_select(Tabs[other]);
        EXPECT_EQ(rig.page->GetCurrentPage(), other);
        rig.click_select(Tabs[c.page]);
        c.check(rig);
        EXPECT_TRUE(rig.logic.posted.empty());
    }
}

TEST(SettingsPage, OnlyTheOpenPageAndItsTabShow)
{
    SettingsRig rig;
    const char* const pages[] = {"window-setting-general", "window-setting-rss", "window-setting-playback",
                                 "window-setting-prefetch"};
    for (int open = 3; open >= 0; --open) {
        rig.click_select(Tabs[open]);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(rig.selected(Tabs[i]), i == open) << open << " " << i;
            EXPECT_EQ(rig.control(pages[i]).IsVisible(), i == open) << open << " " << i;
        }
    }
}

TEST(SettingsPage, UncheckingPrefetchClearsAndDisablesTheFavouritesAtOnce)
{
    SettingsRig rig(true);
    rig.click_select(Tabs[3]);
    ASSERT_TRUE(rig.selected("wselectbtn_enableprefetch"));
    ASSERT_TRUE(rig.selected("wselectbtn_prefetchmyfavorites"));

    rig.click_select("wselectbtn_enableprefetch");
    EXPECT_FALSE(rig.selected("wselectbtn_prefetchmyfavorites"));
    rig.click_select("wselectbtn_prefetchmyfavorites");   // disabled: the click does nothing
    EXPECT_FALSE(rig.selected("wselectbtn_prefetchmyfavorites"));
    EXPECT_TRUE(rig.prefetch.calls.empty());

    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(rig.prefetch.calls, "pause favourites(0) ");
    EXPECT_EQ(SettingsRig::stored(u"EnablePrefetch"), 0u);
    EXPECT_EQ(SettingsRig::stored(u"PrefetchMyFavorites"), 0u);

    // Checked again, the favourites may be checked again.
    rig.prefetch.calls.clear();
    rig.click_select("wselectbtn_enableprefetch");
    rig.click_select("wselectbtn_prefetchmyfavorites");
    EXPECT_TRUE(rig.selected("wselectbtn_prefetchmyfavorites"));
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(rig.prefetch.calls, "resume favourites(1) ");
}

TEST(SettingsPage, ThePrefetchPageShowsTheManagersState)
{
    const struct {
        bool manager;
        bool running;
        DWORD favourites;
        bool shown_enabled;
        bool favourites_clickable;
    } cases[] = {
        {true, true, 1, true, true},
        {true, false, 1, false, false},
        {false, true, 1, false, false},
        {true, true, 0, true, true},
    };
    for (const auto& c : cases) {
        SettingsRig rig(c.running);
        SettingsRig::store(u"PrefetchMyFavorites", c.favourites);
        if (!c.manager) rig.logic.prefetch = nullptr;
        rig.page->RefreshPrefetchPage();
        EXPECT_EQ(rig.selected("wselectbtn_enableprefetch"), c.shown_enabled);
        EXPECT_EQ(rig.selected("wselectbtn_prefetchmyfavorites"), c.favourites != 0);
        EXPECT_EQ(!rig.control("wselectbtn_prefetchmyfavorites").IsMouseTransparent(), c.favourites_clickable);
    }
}

TEST(SettingsPage, TheFolderButtonsPostTheirCommandsAndCancelAndApplyAnimateTheWindow)
{
    SettingsRig rig;
    rig.click_select(Tabs[2]);
    rig.click_button("wbtn-cachedir-setting-playback");
    rig.click_button("wbtn-downloaddir-setting-playback");
    EXPECT_EQ(rig.logic.posted, (std::vector<int>{39, 40}));

    rig.page->Show(true);
    rig.click_button("wbtn-cancel-setting");
    EXPECT_EQ(rig.page->GetAnimationFlags(), 0x600220);
    rig.page->Show(false);
    rig.click_button("wbtn-apply-setting");
    EXPECT_EQ(rig.page->GetAnimationFlags(), 0x100220);
}

TEST(SettingsPage, BrowseFolderTakesOnlyAFolderOnAFixedDrive)
{
    SettingsRig rig;
    const std::string fixed = rig.home / "fixed", usb = rig.home / "usb", share = rig.home / "share";
    for (const std::string& folder : {fixed, usb, share}) plat::create_folder_tree(folder + "/videos");
    plat::VolumeMonitor::instance().use_given_volumes({{'C', plat::DriveKind::Fixed, fixed},
                                                      {'E', plat::DriveKind::Removable, usb},
                                                      {'N', plat::DriveKind::Remote, share}});
    const struct {
        int command;
        std::optional<plat::ProgramOutput> answer;
        std::string shown;   // empty: the field keeps its text
        bool refused;
    } cases[] = {
        {39, plat::ProgramOutput{0, fixed + "/videos\n"}, fixed + "/videos", false},
        {40, plat::ProgramOutput{0, fixed + "/videos\n"}, fixed + "/videos", false},
        {39, plat::ProgramOutput{0, usb + "/videos\n"}, "", true},
        {40, plat::ProgramOutput{0, share + "/videos\n"}, "", true},
        {39, plat::ProgramOutput{1, ""}, "", false},   // cancelled
        {40, std::nullopt, "", false},                 // no chooser
        {41, plat::ProgramOutput{0, fixed + "\n"}, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        const char* field = c.command == 39 ? "wtext-cachedir-setting-playback" : "wtext-downloaddir-setting-playback";
        rig.type(field, u"/old/folder");
        std::vector<std::string> asked;
        plat::set_chooser_runner([&](const std::vector<std::string>& args) {
            asked = args;
            return c.answer;
        });
        std::vector<std::u16string> refusals;
        rig.page->SetNotice([&](const std::u16string& text, const std::u16string& caption) {
            refusals.push_back(caption + u": " + text);
        });
        rig.page->BrowseFolder(c.command);
        plat::set_chooser_runner({});
        EXPECT_EQ(plat::utf16_to_utf8(rig.text(field)), c.shown.empty() ? "/old/folder" : c.shown);
        EXPECT_EQ(refusals.size(), c.refused ? 1u : 0u);
        if (c.refused) {
            EXPECT_EQ(refusals[0], u"Please select path!: Invalid folder, please select other!");
        }
        if (c.command == 41) {
            EXPECT_TRUE(asked.empty());
            continue;
        }
        ASSERT_FALSE(asked.empty());
        const std::string args = [&] {
            std::string all;
            for (const std::string& a : asked) all += a + " ";
            return all;
        }();
        EXPECT_NE(args.find("--directory"), std::string::npos) << args;
        EXPECT_NE(args.find("--title=Please select path!"), std::string::npos) << args;
        EXPECT_NE(args.find("/old/folder"), std::string::npos) << args;
    }
}

TEST(SettingsPage, CleanEmptiesTheCacheFolderAndClearsTheItemsStatus)
{
    SettingsRig rig;
    const std::string cache = rig.home / "cache";
    plat::create_folder_tree(cache + "/kept");
    for (const char* name : {"a.flv", "b.mp4", "kept/c.flv"}) std::ofstream(cache + "/" + name) << "video";
    std::ofstream(rig.home / "outside.flv") << "video";
    std::filesystem::create_symlink(rig.home / "outside.flv", cache + "/link.flv");
    ASSERT_TRUE(rig.settings.SetPath(1, plat::utf8_to_utf16(cache).c_str()));

    CRSSDBMgr& database = CRSSDBMgr::Instance();
    ASSERT_EQ(database.Open((rig.home / "Rss.db").c_str()), 0);
    RSSFolderRecord folder;
    folder.name = "folder";
    ASSERT_EQ(database.InsertFolder(&folder), 0);
    RSSData::tRSSChannel channel;
    channel.set_folder_id(folder.id);
    channel.feed_url = "http://feeds.example/one";
    ASSERT_EQ(database.InsertChannel(&channel), 0);
    std::vector<std::int64_t> items;
    for (const char* title : {"one", "two"}) {
        RSSData::tRSSItem item;
        item.folder_id = folder.id;
        item.channel_id = channel.id;
        item.title = title;
        ASSERT_EQ(database.InsertItem(&item), 0);
        ASSERT_EQ(database.SetItemStatus(item.id, 4), 0);
        items.push_back(item.id);
    }

    EXPECT_TRUE(rig.page->Clean());
    std::vector<plat::FolderEntry> left;
    plat::list_folder(cache, left);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "kept");
    EXPECT_TRUE(FileExists(cache + "/kept/c.flv"));
    EXPECT_TRUE(FileExists(rig.home / "outside.flv"));
    for (std::int64_t id : items) {
        std::list<RSSData::tRSSItem> read;
        ASSERT_EQ(database.GetItems(id, &read), 0);
        ASSERT_EQ(read.size(), 1u);
        EXPECT_EQ(read.front().status(), 0);
    }
    EXPECT_EQ(rig.logic.refreshes, 1);
    EXPECT_EQ(rig.text("wtext01-cachesize-setting-playback").substr(0, 10), u"0.000GB / ");
    database.Close();
}

TEST(SettingsPage, CleanRefusesAPathThatIsNoFolderOfItsOwn)
{
    SettingsRig rig;
    std::ofstream(rig.home / "file.flv") << "video";
    const std::string cases[] = {"", "/", "/.", "/tmp/..", "relative/cache", rig.home / "file.flv",
                                 rig.home / "missing"};
    for (const std::string& path : cases) {
        SCOPED_TRACE(path);
        ASSERT_TRUE(rig.settings.SetPath(1, plat::utf8_to_utf16(path).c_str()));
        EXPECT_FALSE(rig.page->Clean());
        EXPECT_TRUE(FileExists(rig.home / "file.flv"));
        EXPECT_EQ(rig.logic.refreshes, 0);
    }
}
