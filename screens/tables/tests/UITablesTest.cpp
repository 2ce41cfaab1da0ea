#include "screens/tables/UITables.h"

#include "platform/base/Utf.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>
#include <string>

namespace {

std::string file_of(std::span<const SkinImageEntry> table, std::string_view name)
{
    for (const auto& e : table)
        if (name == e.name)
            return plat::utf16_to_utf8(e.file);
    return {};
}

}  // namespace

TEST(UITables, HoldTheirEntriesInFull)
{
    EXPECT_EQ(DefaultUITextTable().size(), 19u);
    EXPECT_EQ(DialogImageTable().size(), 2u);
    EXPECT_EQ(MenuImageTable().size(), 1u);
    EXPECT_EQ(SkinImageTable().size(), 63u);
    EXPECT_EQ(SkinImageTable2().size(), 29u);
    EXPECT_EQ(ExtraSkinStrips().size(), 1u);
    EXPECT_EQ(SkinFontTable().size(), 22u);
    EXPECT_EQ(UIEventNames().size(), 38u);
}

TEST(UITables, SkinIdsAreUniqueWithinEachTable)
{
    for (auto tables : {std::vector{SkinImageTable()}, std::vector{SkinImageTable2(), ExtraSkinStrips()}}) {
        std::set<std::string> seen;
        for (auto table : tables)
            for (const auto& e : table)
                EXPECT_TRUE(seen.insert(e.name).second) << e.name;
    }
    std::set<std::string> fonts;
    for (const auto& f : SkinFontTable())
        EXPECT_TRUE(fonts.insert(f.name).second) << f.name;
}

// The screens and the skin folder use these spellings, typos included.
TEST(UITables, KeepNamesFilesAndTextsAsSpelled)
{
    const struct { std::span<const SkinImageEntry> table; const char* name; const char* file; } files[] = {
        {SkinImageTable(), "pageunselect", "\\skins\\images\\Page_Unselecte.png"},
        {SkinImageTable(), "SeachDialogIcon", "\\skins\\images\\SeachDialogIcon.png"},
        {SkinImageTable(), "rss-treewindow-bk", "\\skins\\images\\sidbar_bg_left.png"},
        {SkinImageTable(), "icon_loading0", "\\Skins\\images\\Loading0001.png"},
        {SkinImageTable(), "icon_loading7", "\\Skins\\images\\Loading0008.png"},
        {SkinImageTable(), "search_bk", "\\Skins\\images\\searchbar.png"},
        {SkinImageTable(), "downloadbg", "\\Skins\\images\\Video_normal.png"},
        {SkinImageTable2(), "btnminimize", "\\skins\\images\\Minmize.png"},
        {SkinImageTable2(), "btnmaximize", "\\skins\\images\\maxmize.png"},
        {SkinImageTable2(), "btnopenlocal", "\\Skins\\images\\OpenLocalFile.png"},
        {SkinImageTable2(), "btnaddfavorite", "\\Skins\\images\\AddToFavorite.png"},
        {ExtraSkinStrips(), "btnsync", "\\Skins\\images\\SyncBtn.png"},
        {MenuImageTable(), "menubg", "\\Skins\\images\\MenuBG.png"},
        {DialogImageTable(), "dialogbtn", "\\Dialog\\DialogBtn.png"},
    };
    for (const auto& c : files)
        EXPECT_EQ(file_of(c.table, c.name), c.file) << c.name;

    std::set<std::u16string> texts;
    for (const auto& t : DefaultUITextTable())
        texts.insert(t.text);
    for (const char16_t* t : {u"Strimo", u"ADD TO FAVORTITE", u"No Availabe Content", u"Save Result"})
        EXPECT_TRUE(texts.contains(t)) << plat::utf16_to_utf8(t);

    std::set<std::string> events(UIEventNames().begin(), UIEventNames().end());
    for (const char* e : {"moveactiobbtn_EnterLeave", "trssreenode_folderupdown", "listitem_delete"})
        EXPECT_TRUE(events.contains(e)) << e;
}

TEST(UITables, FontsCarryTheirFaceAndMetrics)
{
    for (const auto& f : SkinFontTable()) {
        SCOPED_TRACE(f.name);
        EXPECT_LT(f.description.Height, 0);
        EXPECT_EQ(f.description.CharSet, 1);
        EXPECT_EQ(f.description.Quality, 4);
        EXPECT_NE(f.description.FaceName[0], 0);
    }
    const auto& a12b = SkinFontTable()[19];
    EXPECT_STREQ(a12b.name, "font_a12b");
    EXPECT_EQ(a12b.description.Weight, 550u);
    EXPECT_EQ(a12b.description.MipLevels, 0u);
    EXPECT_EQ(std::u16string(SkinFontTable()[1].description.FaceName), u"宋体");
}

TEST(UITables, SkinPathsReachOneFolder)
{
    const struct { const char16_t* in; const char* out; } cases[] = {
        {u"\\Skins\\images\\Logo.png", "Skins/images/Logo.png"},
        {u"\\skins\\images\\ItemBar.png", "Skins/images/ItemBar.png"},
        {u"\\Dialog\\Tutorial.png", "Dialog/Tutorial.png"},
        {u"\\skinsy\\a.png", "skinsy/a.png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SkinRelativePath(c.in), c.out);
}
