#include "components/common/regutil/ProgramKey.h"
#include "core/app/CommandLine.h"
#include "core/app/StartUp.h"

#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"
#include "platform/window/StringTable.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

TEST(StartUp, TheScreenMustHoldTheInterface)
{
    // The UI height follows the screen's shape: 769.5 when height / width is at least 0.75, else 577.125.
    const struct {
        float screen_width, screen_height, ui_height;
        bool accepted;
    } cases[] = {
        {1024, 768, 769.5f, true},   {1024, 576, 577.125f, true}, {1024, 600, 577.125f, true},
        {800, 600, 769.5f, false},   {1280, 500, 577.125f, false}, {1021, 768, 769.5f, true},
        {1020, 768, 769.5f, false},  {1920, 1080, 577.125f, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.screen_width << "x" << c.screen_height);
        EXPECT_EQ(screen_accepts(1026, c.ui_height, c.screen_width, c.screen_height), c.accepted);
    }
}

TEST(StartUp, AutoRunWithTheTrayArgumentStartsInTheTrayElseFullScreenAsAsked)
{
    const struct {
        DWORD auto_run, full_screen;
        const char16_t* command_line;
        StartChoice choice;
    } cases[] = {
        {1, 0, u"/ToTrayIcon", {true, false}},
        {1, 1, u"/ToTrayIcon", {true, false}},
        {1, 0, u"  /ToTrayIcon ", {true, false}},   // blanks around it, as a launcher may add
        {0, 0, u"/ToTrayIcon", {false, false}},
        {0, 1, u"/ToTrayIcon", {false, true}},
        {1, 0, u"/totrayicon", {false, false}},
        {1, 1, u"", {false, true}},
        {1, 0, u"/ToTrayIcon \"/v/a.mp4\"", {false, false}},
        {0, 0, u"", {false, false}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.auto_run << c.full_screen << " [" << std::string(
                                               std::u16string_view(c.command_line).begin(),
                                               std::u16string_view(c.command_line).end())
                                        << "]");
        EXPECT_EQ(start_choice(c.auto_run, c.full_screen, c.command_line), c.choice);
    }
}

TEST(StartUp, AnArgumentNamingAFileIsPassedQuoted)
{
    plat::TempFolder folder;
    std::ofstream(folder / "clip one.mp4") << "x";
    const std::string file = folder / "clip one.mp4";
    const std::string missing = folder / "missing.mp4";
    const struct {
        std::vector<const char*> args;
        std::string line;
    } cases[] = {
        {{"strimo"}, ""},
        {{"strimo", "/ToTrayIcon"}, "/ToTrayIcon"},
        {{"strimo", file.c_str()}, "\"" + file + "\""},
        {{"strimo", missing.c_str()}, missing},
        {{"strimo", "/ToTrayIcon", file.c_str()}, "/ToTrayIcon \"" + file + "\""},
        {{"strimo", folder.path().c_str()}, folder.path()},   // a folder is not a file to open
    };
    for (const auto& c : cases) {
        const std::u16string line = command_line_from(int(c.args.size()), c.args.data());
        EXPECT_EQ(std::string(line.begin(), line.end()), c.line);
    }
}

TEST(StartUp, TheLanguageValueChoosesItsCatalogueWhenThereIsOne)
{
    const struct {
        const char* what;
        DWORD language;   // 0: no value
        bool with_catalogues;
        std::u16string_view search_text;
    } cases[] = {
        {"traditional Chinese", 1028, true, u"搜尋影片"},
        {"simplified Chinese", 2052, true, u"搜索视频"},
        {"traditional Chinese, no catalogue", 1028, false, u"Search YouTube"},
        {"English", 1033, true, u"Search YouTube"},
        {"no value", 0, true, u"Search YouTube"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plat::TemporaryRegistry registry;
        plat::TempFolder program_folder;
        if (c.with_catalogues) {
            ASSERT_EQ(plat::write_file_atomic(program_folder / "CHT.txt", "5102 搜尋影片\n"), 0);
            ASSERT_EQ(plat::write_file_atomic(program_folder / "CHS.txt", "5102 搜索视频\n"), 0);
        }
        if (c.language != 0) {
            HKEY key = nullptr;
            ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                      nullptr, &key, nullptr),
                      ERROR_SUCCESS);
            ASSERT_EQ(RegSetValueExW(key, u"Language", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&c.language),
                                     sizeof c.language),
                      ERROR_SUCCESS);
            RegCloseKey(key);
        }

        HINSTANCE module = load_language(program_folder.path());
        char16_t text[64] = {};
        LoadStringW(module, 5102, reinterpret_cast<LPWSTR>(text), 64);
        EXPECT_EQ(std::u16string_view(text), c.search_text);
        if (module != nullptr)
            plat::free_resource_module(module);
    }
}

}
