#include "core/settings/CAppSettings.h"

#include "components/common/regutil/CUTILregEx.h"
#include "components/common/regutil/ProgramKey.h"
#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/fs/Folders.h"
#include "platform/fs/testing/ScopedEnvironment.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string path_of(const CAppSettings& settings, int slot)
{
    const WCHAR* path = settings.GetPath(slot);
    return path ? plat::utf16_to_utf8(path) : "(null)";
}

// Every folder and the screen come from a sandbox of this test's own.
class CAppSettingsTest : public ::testing::Test {
protected:
    void put_raw(const WCHAR* name, DWORD type, const std::vector<BYTE>& data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), 0);
        RegCloseKey(key);
    }
    std::vector<BYTE> get_raw(const WCHAR* name, DWORD& type)
    {
        HKEY key = nullptr;
        std::vector<BYTE> data(1024);
        DWORD size = static_cast<DWORD>(data.size());
        EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, KEY_READ, &key), 0);
        EXPECT_EQ(RegQueryValueExW(key, name, nullptr, &type, data.data(), &size), 0);
        RegCloseKey(key);
        data.resize(size);
        return data;
    }
    static std::vector<BYTE> utf16_bytes(std::u16string_view text)
    {
        std::vector<BYTE> out;
        for (char16_t u : text) out.insert(out.end(), {BYTE(u & 0xFF), BYTE(u >> 8)});
        return out;
    }

    plat::TempFolder home;
    plat::TemporaryRegistry registry;
    plat::ScopedEnvironment home_env{"HOME", home.path().c_str()};
    plat::ScopedEnvironment data_env{"XDG_DATA_HOME", (home / "data").c_str()};
    plat::ScopedEnvironment config_env{"XDG_CONFIG_HOME", (home / "config").c_str()};
    plat::ScopedEnvironment no_display{"SDL_VIDEODRIVER", "dummy"};
    plat::ScopedEnvironment screen{"STRIMO_SCREEN_SIZE", "1280x1024"};
    const std::string strimo = home / "data/Corvalen/Strimo/";
};

TEST_F(CAppSettingsTest, MetricsFollowTheScreen)
{
    const struct { const char* screen; float width, height, ui_height; } cases[] = {
        {"1280x1024", 1280, 1024, 769.5f},   // 0.8
        {"1024x768", 1024, 768, 769.5f},     // exactly 0.75
        {"1366x768", 1366, 768, 577.125f},   // 0.562
        {"1024x576", 1024, 576, 577.125f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.screen);
        plat::ScopedEnvironment size("STRIMO_SCREEN_SIZE", c.screen);
        CAppSettings settings;
        EXPECT_FLOAT_EQ(settings.GetMetric(0), 1024 / c.width);
        EXPECT_FLOAT_EQ(settings.GetMetric(1), 352 / c.height);
        EXPECT_EQ(settings.GetMetric(2), c.width);
        EXPECT_EQ(settings.GetMetric(3), c.height);
        EXPECT_EQ(settings.GetMetric(4), 1024.0f);
        EXPECT_EQ(settings.GetMetric(5), 352.0f);
        EXPECT_EQ(settings.GetMetric(6), 1026.0f);
        EXPECT_EQ(settings.GetMetric(7), c.ui_height);
    }
    CAppSettings settings;
    const struct { int index; float value; } fixed[] = {
        {8, 25}, {9, 25}, {12, 8888}, {13, 7}, {14, 1}, {17, 1}, {18, 1},
        {10, 0}, {11, 0}, {15, 0}, {16, 0}, {19, 0}, {-1, 0}, {1000, 0},
    };
    for (const auto& f : fixed) {
        SCOPED_TRACE(f.index);
        EXPECT_EQ(settings.GetMetric(f.index), f.value);
    }
}

TEST_F(CAppSettingsTest, ClientAreaLeavesTheTitleBandUnlessItFillsTheScreen)
{
    CAppSettings settings;
    auto area = settings.GetClientArea();
    EXPECT_EQ((std::vector<float>{area.x, area.y, area.width, area.height}), (std::vector<float>{0, 25, 1024, 327}));

    settings.SetNumber(4, 1280);
    area = settings.GetClientArea();   // one side still differs
    EXPECT_EQ((std::vector<float>{area.x, area.y, area.width, area.height}), (std::vector<float>{0, 25, 1280, 327}));

    settings.SetNumber(5, 1024);
    area = settings.GetClientArea();
    EXPECT_EQ((std::vector<float>{area.x, area.y, area.width, area.height}), (std::vector<float>{0, 0, 1280, 1024}));
    EXPECT_EQ(settings.GetMetric(0), 1.0f);
    EXPECT_EQ(settings.GetMetric(1), 1.0f);
}

TEST_F(CAppSettingsTest, SetNumberChangesOnlyWhatItNames)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct { const char* what; int index; double value; int metric; float expected; } cases[] = {
        {"screen width rescales x", 2, 2048, 0, 0.5f},
        {"screen height rescales y", 3, 704, 1, 0.5f},
        {"client width rescales x", 4, 640, 0, 0.5f},
        {"client height rescales y", 5, 512, 1, 0.5f},
        {"zero screen ignored", 2, 0, 2, 1280},
        {"negative screen ignored", 3, -1, 3, 1024},
        {"not-a-number screen ignored", 2, nan, 0, 0.8f},
        {"integer setting truncates", 13, 7.9, 13, 7},
        {"integer setting truncates toward zero", 13, -2.5, 13, -2},
        {"integer setting out of range ignored", 13, 1e12, 13, 7},
        {"tip flag becomes 1", 17, 0.5, 17, 1},
        {"tip flag cleared", 18, 0, 18, 0},
        {"UI width is fixed", 6, 5, 6, 1026},
        {"back-buffer flag is not a number slot", 14, 0, 14, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CAppSettings settings;
        settings.SetNumber(c.index, c.value);
        EXPECT_FLOAT_EQ(settings.GetMetric(c.metric), c.expected);
        EXPECT_TRUE(std::isfinite(settings.GetMetric(0)) && std::isfinite(settings.GetMetric(1)));
    }
}

TEST_F(CAppSettingsTest, DefaultFoldersLieUnderTheUsersFolders)
{
    CAppSettings settings;
    const struct { int slot; std::string path; } cases[] = {
        {0, plat::program_folder() + "/"},
        {1, strimo + "ContentCache/"},
        {2, strimo + "ContentCache/"},
        {3, home / "Videos/Strimo/"},
        {4, strimo + "Install_Strimo.exe"},
        {6, strimo},
        {7, strimo + "Image/"},
        {8, ""},
        {9, strimo + "MyDownload"},
        {5, "(null)"},
        {10, "(null)"},
        {-1, "(null)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.slot);
        EXPECT_EQ(path_of(settings, c.slot), c.path);
    }
    for (int slot : {1, 3, 6, 7, 9}) EXPECT_TRUE(std::filesystem::is_directory(path_of(settings, slot)));
}

TEST_F(CAppSettingsTest, FoldersThatCannotBeHadFallBack)
{
    {
        std::ofstream(home / "blocker") << "a file, not a folder";
        plat::ScopedEnvironment data("XDG_DATA_HOME", (home / "blocker/data").c_str());
        std::ofstream(home / "Videos") << "a file, not a folder";
        CAppSettings settings;
        const std::string program = plat::program_folder() + "/";
        for (int slot : {0, 1, 2, 3, 9}) EXPECT_EQ(path_of(settings, slot), program) << slot;
        for (int slot : {4, 6, 7, 8}) EXPECT_EQ(path_of(settings, slot), "") << slot;
    }
    std::filesystem::create_directories(strimo);
    std::ofstream(strimo + "ContentCache") << "a file, not a folder";
    plat::DebugCapture log;
    CAppSettings settings;
    EXPECT_EQ(path_of(settings, 1), home / "data");
    EXPECT_EQ(path_of(settings, 2), home / "data");
    EXPECT_EQ(path_of(settings, 6), strimo);
    EXPECT_TRUE(log.contains("Build   Directory" + strimo + "ContentCache/   Fail!"));
}

TEST_F(CAppSettingsTest, SetPathRefusesWhatDoesNotFit)
{
    CAppSettings settings;
    const std::u16string longest(MAX_PATH - 1, u'p'), too_long(MAX_PATH, u'q');
    EXPECT_TRUE(settings.SetPath(8, longest.c_str()));
    EXPECT_EQ(std::u16string(settings.GetPath(8)), longest);
    EXPECT_FALSE(settings.SetPath(8, too_long.c_str()));
    EXPECT_FALSE(settings.SetPath(8, std::u16string(5000, u'r').c_str()));
    EXPECT_EQ(std::u16string(settings.GetPath(8)), longest);
    EXPECT_FALSE(settings.SetPath(8, nullptr));
    EXPECT_FALSE(settings.SetPath(5, u"/x"));
    EXPECT_FALSE(settings.SetPath(10, u"/x"));
    EXPECT_TRUE(settings.SetPath(9, u"/short"));   // no tail of the longer default stays
    EXPECT_EQ(std::u16string(settings.GetPath(9)), u"/short");
}

TEST_F(CAppSettingsTest, SavedSettingsLoadBack)
{
    {
        CAppSettings settings;
        settings.SetPath(8, u"/pictures/b\u00E9.png");
        settings.SetPath(1, u"/cache/");
        settings.SetPath(9, u"/downloads");
        settings.SetNumber(17, 0);
        settings.Save();
    }
    put_raw(u"UIBackBuffer", REG_DWORD, {0, 0, 0, 0});
    CAppSettings settings;
    settings.Load();
    EXPECT_EQ(std::u16string(settings.GetPath(8)), u"/pictures/b\u00E9.png");
    EXPECT_EQ(std::u16string(settings.GetPath(1)), u"/cache/");
    EXPECT_EQ(path_of(settings, 2), strimo + "ContentCache/");   // the second copy is not stored
    EXPECT_EQ(std::u16string(settings.GetPath(9)), u"/downloads");
    EXPECT_EQ(settings.GetMetric(14), 0.0f);
    EXPECT_EQ(settings.GetMetric(17), 0.0f);
    EXPECT_EQ(settings.GetMetric(18), 1.0f);
}

TEST_F(CAppSettingsTest, LoadKeepsDefaultsForMissingForeignAndOversizedValues)
{
    put_raw(u"BGPath", REG_BINARY, utf16_bytes(u"/not/a/string"));
    put_raw(u"ContentCacheFolder", REG_SZ, utf16_bytes(u"/c"));   // shorter, stored without terminator
    put_raw(u"DownloadFolder", REG_SZ, utf16_bytes(std::u16string(300, u'd') + u'\0'));
    put_raw(u"ShowSearchTips", REG_DWORD, {5, 0, 0, 0});
    put_raw(u"ShowMyChannelTips", REG_SZ, utf16_bytes(std::u16string(u"0") + u'\0'));
    CAppSettings settings;
    settings.Load();
    EXPECT_EQ(path_of(settings, 8), "");
    EXPECT_EQ(path_of(settings, 1), "/c");
    EXPECT_EQ(path_of(settings, 9), strimo + "MyDownload");
    EXPECT_EQ(settings.GetMetric(17), 1.0f);
    EXPECT_EQ(settings.GetMetric(18), 1.0f);
}

TEST_F(CAppSettingsTest, EmptyBackgroundPathIsSavedAsATerminatedString)
{
    CAppSettings settings;
    settings.Save();
    DWORD type = 0;
    EXPECT_EQ(get_raw(u"BGPath", type), (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(get_raw(u"DownloadFolder", type), utf16_bytes(plat::utf8_to_utf16(strimo + "MyDownload") + u'\0'));
}

TEST_F(CAppSettingsTest, InstanceIsTheLiveObject)
{
    EXPECT_EQ(CAppSettings::Instance(), nullptr);
    {
        CAppSettings settings;
        EXPECT_EQ(CAppSettings::Instance(), &settings);
    }
    EXPECT_EQ(CAppSettings::Instance(), nullptr);
}

}
