#include "core/settings/LanguageSetting.h"

#include "components/common/regutil/ProgramKey.h"
#include "platform/base/HResult.h"
#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <vector>

namespace {

TEST(LanguageSetting, ReadsTheMachineValueWithoutWriteRights)
{
    const struct { const char* what; DWORD type; std::vector<BYTE> data; LONG result; DWORD language; } cases[] = {
        {"traditional Chinese", REG_DWORD, {0x04, 0x04, 0, 0}, ERROR_SUCCESS, 1028},
        {"simplified Chinese", REG_DWORD, {0x04, 0x08, 0, 0}, ERROR_SUCCESS, 2052},
        {"not a DWORD", REG_SZ, {'2', 0, 0, 0}, E_FAIL, 1033},
        {"missing", REG_NONE, {}, E_FAIL, 1033},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        plat::TemporaryRegistry registry;
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (c.type != REG_NONE) {
            ASSERT_EQ(RegSetValueExW(key, u"Language", 0, c.type, c.data.data(), DWORD(c.data.size())), ERROR_SUCCESS);
        }
        RegCloseKey(key);
        // The machine hive as a user sees it: readable, not writable.
        ASSERT_EQ(::chmod((registry.folder() / "HKEY_LOCAL_MACHINE.reg").c_str(), 0444), 0);

        DWORD language = 0;
        EXPECT_EQ(ReadLanguageSetting(language), c.result);
        EXPECT_EQ(language, c.language);
    }
}

TEST(LanguageSetting, NoMachineHiveGivesEnglish)
{
    plat::TemporaryRegistry registry;
    DWORD language = 0;
    EXPECT_EQ(ReadLanguageSetting(language), E_FAIL);
    EXPECT_EQ(language, 1033u);
    EXPECT_FALSE(std::filesystem::exists(registry.folder() / "HKEY_LOCAL_MACHINE.reg"));   // nothing created
}

}
