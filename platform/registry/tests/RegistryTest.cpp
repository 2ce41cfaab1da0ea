#include "platform/registry/Registry.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

constexpr const WCHAR* strimo_key = u"Software\\Corvalen\\Strimo";

class RegistryTest : public ::testing::Test {
protected:
    HKEY create(HKEY root, const WCHAR* path, REGSAM access = KEY_READ | KEY_WRITE)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        return key;
    }
    static LONG set_dword(HKEY key, const WCHAR* name, DWORD value)
    {
        return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }

    plat::TemporaryRegistry registry;
};

TEST_F(RegistryTest, KeyOpenedForReadingRefusesWrites)
{
    RegCloseKey(create(HKEY_CURRENT_USER, strimo_key));
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, strimo_key, 0, KEY_READ, &key), ERROR_SUCCESS);
    EXPECT_EQ(set_dword(key, u"AutoRun", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(key, u"AutoRun"), ERROR_ACCESS_DENIED);
    HKEY child = nullptr;
    EXPECT_EQ(RegCreateKeyExW(key, u"Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_ACCESS_DENIED);
    RegCloseKey(key);

    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, strimo_key, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    EXPECT_EQ(set_dword(key, u"AutoRun", 1), ERROR_SUCCESS);
    DWORD size = 4;
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"AutoRun", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_ACCESS_DENIED);   // no KEY_QUERY_VALUE
    RegCloseKey(key);
}

TEST_F(RegistryTest, OpenAndCreateReportWhatHappened)
{
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, strimo_key, 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(key, nullptr);
    DWORD how = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, strimo_key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, &how),
              ERROR_SUCCESS);
    EXPECT_EQ(how, REG_CREATED_NEW_KEY);
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\corvalen\\strimo", 0, nullptr, 0, KEY_READ, nullptr, &key,
                              &how),
              ERROR_SUCCESS);
    EXPECT_EQ(how, REG_OPENED_EXISTING_KEY);
    RegCloseKey(key);

    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software", 0, KEY_READ, &software), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExW(software, u"Corvalen\\Strimo", 0, KEY_READ, &key), ERROR_SUCCESS);   // relative
    RegCloseKey(key);
    RegCloseKey(software);
    EXPECT_EQ(RegOpenKeyExW(nullptr, strimo_key, 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryTest, QueryFollowsTheBufferContract)
{
    HKEY key = create(HKEY_CURRENT_USER, strimo_key);
    const WCHAR text[] = u"abc";
    ASSERT_EQ(RegSetValueExW(key, u"Path", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"path", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, sizeof text);

    WCHAR small[2] = {u'x', u'y'};
    size = sizeof small;
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, &type, reinterpret_cast<BYTE*>(small), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof text);
    EXPECT_EQ(small[0], u'x');   // nothing written

    WCHAR exact[4];
    size = sizeof exact;
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, &type, reinterpret_cast<BYTE*>(exact), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(exact), u"abc");

    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, u"Path", nullptr, &type, reinterpret_cast<BYTE*>(exact), nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegSetValueExW(key, u"Bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);
    RegCloseKey(key);
}

TEST_F(RegistryTest, EnumerationEndsWithNoMoreItems)
{
    HKEY key = create(HKEY_CLASSES_ROOT, u"CLSID");
    RegCloseKey(create(key, u"{B}"));
    RegCloseKey(create(key, u"{a}\\InprocServer32"));
    ASSERT_EQ(set_dword(key, u"First", 1), ERROR_SUCCESS);
    ASSERT_EQ(set_dword(key, u"Second", 2), ERROR_SUCCESS);

    std::vector<std::u16string> keys;
    WCHAR name[8];
    for (DWORD i = 0;; ++i) {
        DWORD length = 8;
        LONG rc = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        ASSERT_EQ(rc, ERROR_SUCCESS);
        EXPECT_EQ(length, std::u16string(name).size());
        keys.emplace_back(name);
    }
    EXPECT_EQ(keys, (std::vector<std::u16string>{u"{a}", u"{B}"}));
    DWORD length = 3;   // "{a}" needs 4 units with its terminator
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);

    DWORD type = 0, value = 0, size = sizeof value;
    length = 8;
    ASSERT_EQ(RegEnumValueW(key, 1, name, &length, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name), u"Second");
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, 2u);
    length = 8;
    EXPECT_EQ(RegEnumValueW(key, 2, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeleteKeyNeedsItEmpty)
{
    HKEY key = create(HKEY_CLASSES_ROOT, u"Strimo.Test\\CLSID");
    RegCloseKey(key);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Strimo.Test"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Strimo.Test\\CLSID"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Strimo.Test"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, u"Strimo.Test"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, HivesAreSeparateFiles)
{
    HKEY user = create(HKEY_CURRENT_USER, strimo_key);
    ASSERT_EQ(set_dword(user, u"Language", 2052), ERROR_SUCCESS);
    RegCloseKey(user);
    HKEY machine = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, strimo_key, 0, KEY_READ, &machine), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(std::filesystem::exists(registry.folder() / "HKEY_CURRENT_USER.reg"));
    EXPECT_FALSE(std::filesystem::exists(registry.folder() / "HKEY_LOCAL_MACHINE.reg"));
}

TEST_F(RegistryTest, ReadOnlyMachineHiveOpensForReadingOnly)
{
    HKEY machine = create(HKEY_LOCAL_MACHINE, strimo_key);
    ASSERT_EQ(set_dword(machine, u"Language", 1028), ERROR_SUCCESS);
    RegCloseKey(machine);
    ASSERT_EQ(::chmod((registry.folder() / "HKEY_LOCAL_MACHINE.reg").c_str(), 0444), 0);

    EXPECT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, strimo_key, 0, KEY_READ | KEY_WRITE, &machine), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, strimo_key, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &machine,
                              nullptr),
              ERROR_ACCESS_DENIED);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, strimo_key, 0, KEY_READ, &machine), ERROR_SUCCESS);
    DWORD value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(machine, u"Language", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 1028u);
    RegCloseKey(machine);
    EXPECT_EQ(set_dword(HKEY_LOCAL_MACHINE, u"Direct", 1), ERROR_ACCESS_DENIED);
}

}
