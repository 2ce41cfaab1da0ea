#include "components/common/services/LogSettings.h"
#include "components/common/services/RegRead.h"

#include "platform/base/Utf.h"
#include "platform/fs/Files.h"
#include "platform/fs/testing/TempFolder.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

constexpr const WCHAR* log_key = u"Software\\Corvalen\\HTTP\\Log";

void set_value(const WCHAR* name, DWORD type, const void* data, DWORD size)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, log_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    RegCloseKey(key);
}

void set_string(const WCHAR* name, const std::u16string& text)
{
    set_value(name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(WCHAR)));
}

std::string ascii_of(const std::string& bytes)
{
    std::string text;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(bytes[i]);
    return text;
}

}

TEST(RegRead, WrongTypesAndMissingValuesGiveTheFallback)
{
    plat::TemporaryRegistry registry;
    EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, log_key, u"loglevel", 7), 7u);
    EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, log_key, u"logdir"), u"");
    const DWORD four = 4;
    set_value(u"loglevel", REG_DWORD, &four, sizeof four);
    set_value(u"text", REG_DWORD, &four, sizeof four);
    set_string(u"logdir", u"/var/log/x");
    set_string(u"long", std::u16string(600, u'a'));   // 1,202 bytes: too long
    const struct {
        const WCHAR* name;
        DWORD dword;
        std::u16string text;
    } cases[] = {
        {u"loglevel", 4, u""},
        {u"logdir", 9, u"/var/log/x"},
        {u"text", 4, u""},
        {u"long", 9, u""},
        {u"missing", 9, u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadRegDword(HKEY_LOCAL_MACHINE, log_key, c.name, 9), c.dword);
        EXPECT_EQ(ReadRegString(HKEY_LOCAL_MACHINE, log_key, c.name), c.text);
    }
}

TEST(LogSettings, TheRegistrySwitchesTheLogAndSetsItsLevel)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder dir;
    int owner = 0;
    char name[32];
    std::snprintf(name, sizeof name, "%p.log", static_cast<const void*>(&owner));
    const std::string path = dir / (std::string("logs/") + name);

    tLogFile off;
    EXPECT_FALSE(OpenLogFromSettings(off, &owner));   // no "logdir": no log
    EXPECT_FALSE(off.IsOpen());

    set_string(u"logdir", plat::utf8_to_utf16(dir / "logs"));
    const DWORD level = LOG_WARNING;
    set_value(u"loglevel", REG_DWORD, &level, sizeof level);
    {
        tLogFile log;
        ASSERT_TRUE(OpenLogFromSettings(log, &owner));
        log.Write(LOG_ERROR, u"kept");
        log.Write(LOG_INFO, u"dropped");
        log.Close();
    }
    const std::string text = ascii_of(plat::read_file(path).bytes);
    EXPECT_NE(text.find("]ERROR: kept\r\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("dropped"), std::string::npos);
    EXPECT_NE(text.find("Zuv4Avozod start."), std::string::npos);
}

TEST(LogSettings, LevelZeroWritesNotEvenTheBanners)
{
    plat::TemporaryRegistry registry;
    plat::TempFolder dir;
    set_string(u"logdir", plat::utf8_to_utf16(dir.path()));
    tLogFile log;
    ASSERT_TRUE(OpenLogFromSettings(log, &dir));
    log.Write(LOG_FORCE, u"x");
    log.Close();
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(std::filesystem::file_size(entry.path()), 2u);   // the mark alone
}
