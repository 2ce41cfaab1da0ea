#include "toolkit/resmgr/tests/SkinRig.h"

#include "core/settings/CAppSettings.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/window/StringTable.h"
#include "screens/tables/UITables.h"
#include "toolkit/render/font.h"
#include "toolkit/render/picture.h"
#include "toolkit/render/texture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

namespace {

const char* const states[] = {"_normal", "_highlight", "_pressed", "_disabled"};

}  // namespace

TEST(ResMgr, EveryTableEntryAndFontLoads)
{
    test::SkinRig rig;
    for (const auto& entry : SkinImageTable())
        EXPECT_TRUE(UI::IsUsablePicture(rig.manager.GetPicture(entry.name))) << entry.name;
    for (const auto& entry : SkinFontTable()) {
        RenderEngine::d3dfont* font = rig.manager.GetFont(entry.name);
        ASSERT_NE(font, nullptr) << entry.name;
        EXPECT_NE(font->GetD3DXFont(), nullptr) << entry.name;
    }
    EXPECT_TRUE(UI::IsUsablePicture(rig.manager.GetPicture("menubg_left")));
    EXPECT_EQ(rig.manager.GetText(5001), u"Strimo");
    EXPECT_EQ(rig.manager.GetText(5103), u"No Availabe Content");
}

TEST(ResMgr, StripsGiveFourStatePicturesAndNoBareOne)
{
    test::SkinRig rig;
    std::vector<SkinImageEntry> strips(SkinImageTable2().begin(), SkinImageTable2().end());
    strips.insert(strips.end(), ExtraSkinStrips().begin(), ExtraSkinStrips().end());
    for (const auto& entry : strips) {
        SCOPED_TRACE(entry.name);
        const float strip = rig.manager.GetTexture(entry.name)->GetWidth();
        for (int i = 0; i < 4; ++i) {
            RenderEngine::picture* pic = rig.manager.GetPicture(std::string(entry.name) + states[i]);
            ASSERT_TRUE(UI::IsUsablePicture(pic)) << states[i];
            EXPECT_FLOAT_EQ(pic->m_left, strip / 4 * i);
            EXPECT_FLOAT_EQ(pic->m_right, strip / 4 * (i + 1));
            EXPECT_FLOAT_EQ(pic->m_width, strip / 4);
        }
        EXPECT_EQ(rig.manager.GetPicture(entry.name), nullptr);
    }
    EXPECT_EQ(rig.manager.GetPicture("menubg"), nullptr);
}

// A widget naming a picture the skin lacks draws nothing; the debug output
// says which name, once. A file not loaded yet, asked for by its path, is no
// fault of the skin's.
TEST(ResMgr, AMissingPictureIsNamedOnce)
{
    test::SkinRig rig;
    plat::DebugCapture log;
    EXPECT_EQ(rig.manager.GetPicture("btnnothing"), nullptr);
    EXPECT_EQ(rig.manager.GetPicture("btnnothing"), nullptr);
    EXPECT_NE(rig.manager.GetPicture("btnplay_normal"), nullptr);
    std::string name;
    EXPECT_EQ(rig.manager.GetPictureByPath(u"/no/such/thumbnail.jpg", name), nullptr);
    EXPECT_EQ(log.lines(), std::vector<std::string>{"skin: no picture \"btnnothing\""});
}

TEST(ResMgr, BackBuffersAreNumberedFrom200)
{
    test::SkinRig rig;
    std::unique_ptr<RenderEngine::backbuffer> first(rig.manager.CreateBackBuffer(8, 8, true));
    std::unique_ptr<RenderEngine::backbuffer> second(rig.manager.CreateBackBuffer(8, 8, true));
    EXPECT_NE(rig.manager.GetTexture("BkBuffer_200"), nullptr);
    EXPECT_NE(rig.manager.GetTexture("BkBuffer_201"), nullptr);
    EXPECT_EQ(rig.manager.GetTexture("BkBuffer_202"), nullptr);
}

TEST(ResMgr, PicturesLoadedByPathAreFoundByPath)
{
    test::SkinRig rig;
    const std::u16string path = plat::utf8_to_utf16(plat::join_path(plat::program_folder(), "Skins/images/Logo.png"));
    std::string loaded, found;
    EXPECT_TRUE(rig.manager.LoadPictureByPath(path, loaded));
    EXPECT_TRUE(std::regex_match(loaded, std::regex("[0-9A-F]{32}"))) << loaded;
    RenderEngine::picture* pic = rig.manager.GetPictureByPath(path, found);
    EXPECT_EQ(found, loaded);
    EXPECT_TRUE(UI::IsUsablePicture(pic));
    EXPECT_EQ(rig.manager.GetPicture(loaded), pic);
}

TEST(ResMgr, LoadingUnderATakenNameKeepsThePictureAndRenewsABareTexture)
{
    test::SkinRig rig;
    const std::u16string other = plat::utf8_to_utf16(plat::join_path(plat::program_folder(), "Skins/images/Add.png"));
    RenderEngine::picture* logo = rig.manager.GetPicture("logo");
    rig.manager.LoadPicture(other, "logo", 0);
    EXPECT_EQ(rig.manager.GetPicture("logo"), logo);
    EXPECT_FLOAT_EQ(logo->m_width, 96);

    // "btnplay" has a texture but only state pictures: it gets a fresh texture,
    // and the state pictures cut from the old one stay drawable.
    RenderEngine::texture* old_strip = rig.manager.GetTexture("btnplay");
    rig.manager.LoadPicture(other, "btnplay", 0);
    EXPECT_NE(rig.manager.GetTexture("btnplay"), old_strip);
    EXPECT_FLOAT_EQ(rig.manager.GetPicture("btnplay")->m_width, 11);
    EXPECT_TRUE(UI::IsUsablePicture(rig.manager.GetPicture("btnplay_normal")));
}

TEST(ResMgr, MissingNamesGiveNull)
{
    test::SkinRig rig;
    EXPECT_EQ(rig.manager.GetPicture("no-such-picture"), nullptr);
    EXPECT_EQ(rig.manager.GetFont("no-such-font"), nullptr);
    std::unique_ptr<RenderEngine::fontstyle> style(rig.manager.CreateFontStyle(0, 0xffffffff, "no-such-font", 1, 1));
    ASSERT_NE(style, nullptr);
    EXPECT_EQ(style->pfont, nullptr);
    std::unique_ptr<RenderEngine::fontstyle> real(rig.manager.CreateFontStyle(0, 0xffffffff, "font_a12", 1, 1));
    EXPECT_EQ(real->pfont, rig.manager.GetFont("font_a12"));
}

TEST(ResMgr, BackgroundPictureComesOnlyFromASetPath)
{
    plat::TempFolder home;
    plat::ScopedEnvironment home_env("HOME", home.path().c_str());
    plat::ScopedEnvironment data_env("XDG_DATA_HOME", (home / "data").c_str());
    CAppSettings settings;
    {
        test::SkinRig rig;
        EXPECT_EQ(rig.manager.GetPicture("User-UI-Background"), nullptr);
    }
    const std::string file = plat::join_path(plat::program_folder(), "Skins/images/offlineBg.png");
    settings.SetPath(8, plat::utf8_to_utf16(file).c_str());
    test::SkinRig rig;
    RenderEngine::picture* background = rig.manager.GetPicture("User-UI-Background");
    ASSERT_TRUE(UI::IsUsablePicture(background));
    EXPECT_FLOAT_EQ(background->m_width, 160);
    EXPECT_EQ(rig.manager.GetTexture("User-UI-Background")->GetId(), 51);
}

// A broken skin folder: the rest loads, each bad file is named, and its
// picture counts as missing for the callers that have a stand-in.
TEST(ResMgr, BrokenSkinFilesAreNamedAndTheRestLoads)
{
    plat::TempFolder skin;
    std::filesystem::copy(plat::program_folder() + "/Skins", skin / "Skins", std::filesystem::copy_options::recursive);
    std::filesystem::remove(skin / "Skins/images/Logo.png");
    const std::string cursor = plat::read_file(skin / "Skins/images/ItemBar.png").bytes;
    ASSERT_EQ(plat::write_file_atomic(skin / "Skins/images/ItemBar.png", cursor.substr(0, cursor.size() / 2)), 0);
    ASSERT_EQ(plat::write_file_atomic(skin / "Skins/images/Close.png", "not a picture"), 0);

    plat::DebugCapture log;
    test::SkinRig rig(plat::utf8_to_utf16(skin.path()));
    const struct { const char* file; std::vector<const char*> names; } broken[] = {
        {"Logo.png", {"logo"}},
        {"ItemBar.png", {"rssitembackground"}},
        {"Close.png", {"btnclose_normal", "btnclose_disabled"}},
    };
    for (const auto& b : broken) {
        EXPECT_TRUE(log.contains(b.file)) << b.file;
        for (const char* name : b.names) {
            RenderEngine::picture* pic = rig.manager.GetPicture(name);
            ASSERT_NE(pic, nullptr) << name;   // stored as written, with size 0
            EXPECT_FALSE(UI::IsUsablePicture(pic)) << name;
        }
    }
    for (const char* name : {"topframe", "rssitemhighlight", "btnmaximize_normal", "black_image"})
        EXPECT_TRUE(UI::IsUsablePicture(rig.manager.GetPicture(name))) << name;
}

TEST(ResMgr, UsablePictureNeedsASizeAndATexture)
{
    test::SkinRig rig;
    RenderEngine::d3dpic detached(rig.manager.GetTexture("logo"), 0, 0, 0, 0);
    EXPECT_FALSE(UI::IsUsablePicture(nullptr));
    EXPECT_FALSE(UI::IsUsablePicture(&detached));
    EXPECT_TRUE(UI::IsUsablePicture(rig.manager.GetPicture("black_image")));
}

TEST(ResMgr, TextConversionsRoundTripWithoutACut)
{
    const std::u16string long_text(600, u'\u5b8b');
    const struct { std::u16string wide; std::string ansi; } cases[] = {
        {u"", ""},
        {u"C:/Skins/Logo.png", "C:/Skins/Logo.png"},
        {u"宋体", "\xe5\xae\x8b\xe4\xbd\x93"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(UI::WideToAnsi(c.wide), c.ansi);
        EXPECT_EQ(UI::AnsiToWide(c.ansi), c.wide);
    }
    EXPECT_EQ(UI::AnsiToWide(UI::WideToAnsi(long_text)), long_text);
}

TEST(ResMgr, LoadTextReadsTheResourceModuleWholeAndByValue)
{
    UI::d3dresMgr manager;
    EXPECT_EQ(manager.LoadText(5102), u"Search YouTube");
    EXPECT_EQ(manager.LoadText(2787), u"");
    EXPECT_EQ(manager.LoadText(-1), u"");
    const std::u16string first = manager.LoadText(6002);
    EXPECT_GT(first.size(), 60u);
    EXPECT_EQ(manager.LoadText(1), u"OK");
    EXPECT_EQ(first.substr(0, 5), u"A new");   // a later load leaves an earlier text alone

    plat::TempFolder folder;
    ASSERT_EQ(plat::write_file_atomic(folder / "CHS.dll", "5102 搜索视频\n"), 0);
    HINSTANCE catalogue = plat::load_resource_module(folder / "CHS.dll");
    manager.SetResourceModule(catalogue);
    EXPECT_EQ(manager.LoadText(5102), u"搜索视频");
    EXPECT_EQ(manager.LoadText(5103), u"");
    manager.SetResourceModule(nullptr);
    plat::free_resource_module(catalogue);
    EXPECT_EQ(manager.LoadText(5103), u"No Availabe Content");
}
