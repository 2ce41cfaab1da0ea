#include "platform/window/StringTable.h"

#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string load(HINSTANCE module, UINT id)
{
    WCHAR buffer[260];
    const int length = LoadStringW(module, id, buffer, 260);
    EXPECT_EQ(std::u16string(buffer).size(), static_cast<std::size_t>(length));
    return buffer;
}

}  // namespace

TEST(StringTable, TheProgramsTextsAreTheOnesItShows)
{
    const struct { UINT id; std::u16string_view text; } cases[] = {
        {1, u"OK"},
        {2, u"Cancel"},
        {1005, u"Downloading the new Strimo now!"},
        {1006, u"Strimo 1.0 build"},
        {1010, u"About"},
        {1012, u"Strimo Update"},
        {1100, u"Start Strimo"},
        {1101, u"Enable prefetch"},
        {1102, u"Disable prefetch"},
        {1103, u"Exit"},
        {5002, u"Vazir EZO"},
        {5090, u"Remove"},
        {5093, u"Clear All"},
        {5099, u"Save Result"},
        {5102, u"Search YouTube"},
        {5103, u"No Availabe Content"},
        {5104, u"OFFLINE"},
        {6001, u"Strimo Upate"},
        {6002, u"A new version of Strimo is now available,click \"OK\" to download and install it."},
        {6080, u"Most Popular"},
        {6081, u"Most Viewed"},
        {6082, u"Recently Featured"},
        {6083, u"Most Discussed"},
        {6084, u"Recent Videos"},
        {6085, u"Most Responded"},
        {6086, u"Top Favorited"},
        {6087, u"Top Rated"},
        {7001, u"My Favorites"},
        {7002, u"Search Result"},
        {7003, u"My Subscriptions"},
        {7004, u"YouTube Video"},
        {7007, u"Recent Viewed"},
        {7012, u"Don't ask me next time."},
        {7015, u"Add..."},
        {7027, u"minutes(10-1440)."},
        {7028, u"Always prefetch \"My Favorites\"."},
        {7029, u"Settings"},
        {7030, u"General Setting"},
        {7031, u"RSS Feeding"},
        {7033, u"Cancel"},
        {7034, u"Apply"},
        {7035, u"Start as full screen."},
        {7036, u"Close to tray when application exit."},
        {7037, u"Enable network accelerator."},
        {7038, u"I prefer high quality video."},
        {7039, u"Keep maximum RSS item number as"},
        {7040, u"in every channel(Valid range:25-500)."},
        {7041, u"Retrieve RSS feeding from service every"},
        {7043, u"Cache folder:"},
        {7045, u"Cache usage:"},
        {7046, u"Clean"},
        {7047, u"Auto run when system start."},
        {7048, u"Playback & Download"},
        {7049, u"Download folder:"},
        {7080, u"Pefetch"},
        {7090, u"There are currently no new clips of this channel."},
        {7091, u"There are currently no favorite clips."},
        {7092, u"There are currently no recent viewed clips."},
        {7093, u"No matched clips found!"},
        {7094, u"Failed to playback this clip!"},
        {7101, u"Invalid folder, please select other!"},
        {7102, u"Failed to verify signature, can't install it now!"},
        {7111, u"Drag thumnail here."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(load(plat::program_module(), c.id), c.text);
        EXPECT_EQ(load(nullptr, c.id), c.text);   // null is the program's module too
    }
    // The texts we wrote where the program had its own say something.
    for (UINT id : {1007u, 7010u, 7013u, 7014u, 7081u, 7082u}) EXPECT_FALSE(load(nullptr, id).empty()) << id;
}

TEST(StringTable, AMissingIdGivesAnEmptyText)
{
    WCHAR buffer[8] = u"garbage";
    EXPECT_EQ(LoadStringW(nullptr, 2787, buffer, 8), 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(StringTable, ALongTextIsCutToTheBufferAndTheReadOnlyFormHasItWhole)
{
    WCHAR small[6];
    EXPECT_EQ(LoadStringW(nullptr, 5103, small, 6), 5);
    EXPECT_EQ(std::u16string(small), u"No Av");

    const WCHAR* whole = nullptr;
    const int length = LoadStringW(nullptr, 6002, reinterpret_cast<LPWSTR>(&whole), 0);
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(std::u16string(whole, length).substr(0, 35), u"A new version of Strimo is now avai");
}

TEST(StringTable, ACatalogueReplacesTheProgramsTextsAndLacksWhatItLacks)
{
    plat::TempFolder folder;
    const std::string path = folder / "CHT.dll";
    ASSERT_EQ(plat::write_file_atomic(path, "# traditional Chinese\r\n"
                                            "5102 搜尋影片\r\n"
                                            "\r\n"
                                            "7010 Line one\\nline two\\tand a \\\\ back\\slash\n"
                                            "not a line\n"
                                            "99999999 out of range\n"
                                            "7001 old\n"
                                            "7001 我的最愛"),
              0);
    HINSTANCE module = plat::load_resource_module(path);
    ASSERT_NE(module, nullptr);
    const struct { UINT id; std::u16string_view text; } cases[] = {
        {5102, u"搜尋影片"},
        {7010, u"Line one\nline two\tand a \\ back\\slash"},
        {7001, u"我的最愛"},   // a repeated id keeps its last text
        {5103, u""},           // the program has it, the catalogue does not
        {2787, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(load(module, c.id), c.text);
    }
    EXPECT_EQ(load(nullptr, 5102), u"Search YouTube");

    plat::free_resource_module(module);
    EXPECT_EQ(load(module, 5102), u"");   // a freed handle reads nothing
    plat::free_resource_module(plat::program_module());
    EXPECT_EQ(load(nullptr, 5102), u"Search YouTube");
    EXPECT_EQ(plat::load_resource_module(folder / "CHS.dll"), nullptr);
}
