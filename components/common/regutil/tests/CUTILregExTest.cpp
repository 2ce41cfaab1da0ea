#include "components/common/regutil/CUTILregEx.h"

#include "components/common/regutil/ProgramKey.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

class CUTILregExTest : public ::testing::Test {
protected:
    // Writes raw bytes, as another program (or an older build) might have.
    void put(HKEY root, DWORD type, const WCHAR* name, std::vector<BYTE> data)
    {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, ProgramKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), 0);
        EXPECT_EQ(RegSetValueExW(key, name, 0, type, data.data(), static_cast<DWORD>(data.size())), 0);
        RegCloseKey(key);
    }
    std::vector<BYTE> raw(const WCHAR* name, DWORD* type = nullptr)
    {
        HKEY key = nullptr;
        std::vector<BYTE> data(64);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ProgramKey, 0, KEY_READ, &key) != 0) return {};
        LONG rc = RegQueryValueExW(key, name, nullptr, type, data.data(), &size);
        RegCloseKey(key);
        data.resize(rc == 0 ? size : 0);
        return data;
    }
    static bool key_exists(HKEY root)
    {
        HKEY key = nullptr;
        if (RegOpenKeyExW(root, ProgramKey, 0, KEY_READ, &key) != 0) return false;
        RegCloseKey(key);
        return true;
    }

    plat::TemporaryRegistry registry;
};

std::vector<BYTE> bytes_of(std::u16string_view text, bool terminated)
{
    std::vector<BYTE> out;
    for (char16_t u : text) out.insert(out.end(), {BYTE(u & 0xFF), BYTE(u >> 8)});
    if (terminated) out.insert(out.end(), {0, 0});
    return out;
}

TEST_F(CUTILregExTest, GetDWORDAcceptsOnlyFourByteDwords)
{
    put(HKEY_CURRENT_USER, REG_DWORD, u"Good", {0x2C, 0x01, 0, 0});
    put(HKEY_CURRENT_USER, REG_SZ, u"Text", bytes_of(u"a", true));   // 4 bytes, like a DWORD
    put(HKEY_CURRENT_USER, REG_BINARY, u"Blob", {1, 0, 0, 0});
    put(HKEY_CURRENT_USER, REG_DWORD, u"Short", {1, 0});
    const struct { const WCHAR* name; LONG result; DWORD value; } cases[] = {
        {u"Good", ERROR_SUCCESS, 300},
        {u"good", ERROR_SUCCESS, 300},
        {u"Text", E_FAIL, 77},
        {u"Blob", E_FAIL, 77},
        {u"Short", E_FAIL, 77},
        {u"Missing", E_FAIL, 77},
    };
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        DWORD value = 77;
        EXPECT_EQ(reg.GetDWORD(c.name, value), c.result);
        EXPECT_EQ(value, c.value);
    }
}

TEST_F(CUTILregExTest, ReadOnlyAccessNeverCreatesTheKey)
{
    for (REGSAM access : {KEY_READ, KEY_QUERY_VALUE}) {
        CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, access);
        DWORD value = 5;
        EXPECT_EQ(reg.GetDWORD(u"AutoRun", value), E_FAIL);
        EXPECT_EQ(value, 5u);
        EXPECT_EQ(reg.SetDWORD(u"AutoRun", 1), E_FAIL);
        EXPECT_EQ(reg.DeleteValue(u"AutoRun"), E_FAIL);
        EXPECT_FALSE(key_exists(HKEY_CURRENT_USER));
    }
    CUTILregEx writer(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    EXPECT_TRUE(key_exists(HKEY_CURRENT_USER));
}

TEST_F(CUTILregExTest, KeyOpenedForReadingRefusesWrites)
{
    put(HKEY_CURRENT_USER, REG_DWORD, u"AutoRun", {0, 0, 0, 0});
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ);
    EXPECT_EQ(reg.SetDWORD(u"AutoRun", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.SetString(u"BGPath", u"x"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(reg.DeleteValue(u"AutoRun"), E_FAIL);
    DWORD value = 9;
    EXPECT_EQ(reg.GetDWORD(u"AutoRun", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);
}

TEST_F(CUTILregExTest, SetDWORDOnlyIfPresentLeavesMissingValuesAlone)
{
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    EXPECT_EQ(reg.SetDWORD(u"EnablePrefetch", 0, TRUE), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(raw(u"EnablePrefetch").empty());
    EXPECT_EQ(reg.SetDWORD(u"EnablePrefetch", 1), ERROR_SUCCESS);
    EXPECT_EQ(reg.SetDWORD(u"EnablePrefetch", 0, TRUE), ERROR_SUCCESS);
    DWORD value = 7;
    EXPECT_EQ(reg.GetDWORD(u"EnablePrefetch", value), ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(reg.DeleteValue(u"EnablePrefetch"), ERROR_SUCCESS);
    EXPECT_EQ(reg.DeleteValue(u"EnablePrefetch"), E_FAIL);
}

TEST_F(CUTILregExTest, SetStringStoresTheTerminator)
{
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ | KEY_WRITE);
    EXPECT_EQ(reg.SetString(u"BGPath", u"/a/b.png"), ERROR_SUCCESS);
    EXPECT_EQ(reg.SetString(u"Empty", u""), ERROR_SUCCESS);
    DWORD type = 0;
    EXPECT_EQ(raw(u"BGPath", &type), bytes_of(u"/a/b.png", true));
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(raw(u"Empty"), bytes_of(u"", true));
    EXPECT_EQ(reg.SetString(u"Null", nullptr), E_FAIL);
}

TEST_F(CUTILregExTest, GetStringNeverLeavesTheOldTail)
{
    put(HKEY_CURRENT_USER, REG_SZ, u"Short", bytes_of(u"/v", false));        // stored without terminator
    put(HKEY_CURRENT_USER, REG_SZ, u"Odd", {'/', 0, 'w', 0, 'x'});           // odd byte count
    put(HKEY_CURRENT_USER, REG_SZ, u"Inner", bytes_of(u"ab\0cd", true));     // text ends at the first zero
    put(HKEY_CURRENT_USER, REG_SZ, u"Exact", bytes_of(u"1234567", true));   // 16 bytes: fits the buffer exactly
    put(HKEY_CURRENT_USER, REG_SZ, u"Long", bytes_of(u"12345678", true));   // 18 bytes: does not
    put(HKEY_CURRENT_USER, REG_BINARY, u"Blob", bytes_of(u"zz", true));
    put(HKEY_CURRENT_USER, REG_DWORD, u"Number", {1, 0, 0, 0});
    const struct { const WCHAR* name; LONG result; std::u16string text; DWORD size; } cases[] = {
        {u"Short", ERROR_SUCCESS, u"/v", 6},
        {u"Odd", ERROR_SUCCESS, u"/w", 6},
        {u"Inner", ERROR_SUCCESS, u"ab", 6},
        {u"Exact", ERROR_SUCCESS, u"1234567", 16},
        {u"Long", E_FAIL, u"default", 16},
        {u"Blob", E_FAIL, u"default", 16},
        {u"Number", E_FAIL, u"default", 16},
        {u"Missing", E_FAIL, u"default", 16},
    };
    CUTILregEx reg(HKEY_CURRENT_USER, ProgramKey, KEY_READ);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name, c.name + std::char_traits<char16_t>::length(c.name)));
        WCHAR buffer[8] = u"default";
        DWORD size = sizeof buffer;
        EXPECT_EQ(reg.GetString(c.name, buffer, size), c.result);
        EXPECT_EQ(std::u16string(buffer), c.text);
        EXPECT_EQ(size, c.size);
    }
}

TEST_F(CUTILregExTest, MachineLanguageReadsWithReadOnlyAccess)
{
    put(HKEY_LOCAL_MACHINE, REG_DWORD, u"Language", {0x04, 0x08, 0, 0});   // 2052
    ASSERT_EQ(::chmod((registry.folder() / "HKEY_LOCAL_MACHINE.reg").c_str(), 0444), 0);

    DWORD language = 1033;   // asking for write access to a hive we may not write fails
    EXPECT_EQ(CUTILregEx(HKEY_LOCAL_MACHINE, ProgramKey, KEY_READ | KEY_WRITE).GetDWORD(u"Language", language),
              E_FAIL);
    EXPECT_EQ(language, 1033u);
    EXPECT_EQ(CUTILregEx(HKEY_LOCAL_MACHINE, ProgramKey, KEY_READ).GetDWORD(u"Language", language), ERROR_SUCCESS);
    EXPECT_EQ(language, 2052u);
}

}
