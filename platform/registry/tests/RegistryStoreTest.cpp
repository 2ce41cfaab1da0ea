#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"
#include "platform/base/Utf.h"

#include "platform/fs/testing/ScopedEnvironment.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using plat::Hive;
using plat::RegistryStore;
using plat::RegistryValue;

constexpr DWORD reg_sz = 1, reg_binary = 3, reg_dword = 4;

RegistryValue dword_value(DWORD n)
{
    return {reg_dword, {BYTE(n), BYTE(n >> 8), BYTE(n >> 16), BYTE(n >> 24)}};
}

RegistryValue string_value(std::u16string_view text)
{
    RegistryValue v{reg_sz, {}};
    for (char16_t u : text) v.data.insert(v.data.end(), {BYTE(u & 0xFF), BYTE(u >> 8)});
    v.data.insert(v.data.end(), {0, 0});
    return v;
}

std::string read_text(const std::filesystem::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class RegistryStoreTest : public ::testing::Test {
protected:
    plat::TemporaryRegistry registry;
    RegistryStore store{registry.folder(), Hive::CurrentUser};
};

TEST_F(RegistryStoreTest, ValuesSurviveReopenByteForByte)
{
    const struct { const char* what; std::u16string name; RegistryValue value; } cases[] = {
        {"dword", u"AutoRun", dword_value(0xDEADBEEF)},
        {"string", u"BGPath", string_value(u"/home/u/bg \"one\"\\two\n\t.png")},
        {"empty string", u"Empty", string_value(u"")},
        {"other planes", u"Wide", string_value(u"\u4E2D\U0001F3AC\u00E9")},
        {"control and lone surrogate", u"Odd", string_value(std::u16string{u'a', 0x01, 0xD800, u'b'})},
        {"string without terminator", u"Bare", {reg_sz, {'a', 0, 'b', 0}}},
        {"string of odd size", u"OddSize", {reg_sz, {'a', 0, 0}}},
        {"short dword", u"ShortDword", {reg_dword, {1, 2}}},
        {"binary", u"Blob", {reg_binary, {0, 0xFF, 0x10}}},
        {"empty binary", u"None", {reg_binary, {}}},
        {"unknown type", u"Multi", {7, {'x', 0, 0, 0}}},
        {"unnamed value", u"", string_value(u"default")},
        {"name needing escapes", u"a\"b\\c\nd", dword_value(7)},
    };
    ASSERT_EQ(store.create_key(u"Software\\Corvalen\\Strimo", nullptr), ERROR_SUCCESS);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(store.write_value(u"Software\\Corvalen\\Strimo", c.name, c.value), ERROR_SUCCESS);
    }
    RegistryStore reopened(registry.folder(), Hive::CurrentUser);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RegistryValue read;
        EXPECT_EQ(reopened.read_value(u"software\\corvalen\\STRIMO", c.name, read), ERROR_SUCCESS);
        EXPECT_EQ(read, c.value);
    }
}

TEST_F(RegistryStoreTest, FileIsReadableText)
{
    ASSERT_EQ(store.create_key(u"Software\\Corvalen\\Strimo", nullptr), ERROR_SUCCESS);
    ASSERT_EQ(store.write_value(u"Software\\Corvalen\\Strimo", u"RetrieveRSSTime", dword_value(60)), ERROR_SUCCESS);
    ASSERT_EQ(store.write_value(u"Software\\Corvalen\\Strimo", u"BGPath", string_value(u"/tmp/b\u00E9.png")), ERROR_SUCCESS);
    const std::string text = read_text(store.file());
    EXPECT_NE(text.find("[Software\\Corvalen\\Strimo]\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"RetrieveRSSTime\"=dword:0000003c\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"BGPath\"=sz:\"/tmp/b\xC3\xA9.png\"\n"), std::string::npos) << text;
    EXPECT_EQ(store.file().filename(), "HKEY_CURRENT_USER.reg");
}

TEST_F(RegistryStoreTest, KeysAndValuesCompareWithoutCase)
{
    plat::KeyDisposition how{};
    ASSERT_EQ(store.create_key(u"Software\\\u00C9t\u00E9", &how), ERROR_SUCCESS);
    EXPECT_EQ(how, plat::KeyDisposition::CreatedNew);
    ASSERT_EQ(store.create_key(u"SOFTWARE\\\u00C9T\u00C9\\", &how), ERROR_SUCCESS);
    EXPECT_EQ(how, plat::KeyDisposition::OpenedExisting);
    ASSERT_EQ(store.write_value(u"software\\\u00E9t\u00E9", u"Volume", dword_value(40)), ERROR_SUCCESS);
    ASSERT_EQ(store.write_value(u"software\\\u00E9t\u00E9", u"VOLUME", dword_value(41)), ERROR_SUCCESS);
    std::vector<plat::NamedRegistryValue> values;
    ASSERT_EQ(store.values(u"Software\\\u00C9t\u00E9", values), ERROR_SUCCESS);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values[0].name, u"Volume");   // the first writer's spelling stays
    EXPECT_EQ(values[0].value, dword_value(41));
}

TEST_F(RegistryStoreTest, SubkeysListDirectChildrenInNameOrder)
{
    for (auto path : {u"S\\b", u"S\\A\\deep", u"S\\c", u"Sx", u"T"}) ASSERT_EQ(store.create_key(path, nullptr), ERROR_SUCCESS);
    std::vector<std::u16string> names;
    ASSERT_EQ(store.subkey_names(u"S", names), ERROR_SUCCESS);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"A", u"b", u"c"}));
    ASSERT_EQ(store.subkey_names(u"", names), ERROR_SUCCESS);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"S", u"Sx", u"T"}));
    EXPECT_EQ(store.subkey_names(u"Missing", names), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, DeletesFollowWindowsRules)
{
    ASSERT_EQ(store.create_key(u"A\\B", nullptr), ERROR_SUCCESS);
    ASSERT_EQ(store.write_value(u"A\\B", u"v", dword_value(1)), ERROR_SUCCESS);
    const struct { std::u16string path; LONG result; } cases[] = {
        {u"A", ERROR_ACCESS_DENIED},   // still has a subkey
        {u"", ERROR_ACCESS_DENIED},    // the root stays
        {u"A\\Missing", ERROR_FILE_NOT_FOUND},
        {u"a\\b", ERROR_SUCCESS},
        {u"A", ERROR_SUCCESS},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path.begin(), c.path.end()));
        EXPECT_EQ(store.delete_key(c.path), c.result);
    }
    EXPECT_EQ(store.find_key(u"A"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.delete_value(u"", u"v"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryStoreTest, BadKeyPathsAreRefused)
{
    const std::u16string bad[] = {u"\\Leading", u"A\\\\B", u"Tab\there", std::u16string(256, u'k'),
                                  std::u16string{u'A', 0xDC00}};
    for (const auto& path : bad) {
        EXPECT_EQ(store.create_key(path, nullptr), ERROR_INVALID_PARAMETER);
        EXPECT_EQ(store.find_key(path), ERROR_INVALID_PARAMETER);
    }
    EXPECT_EQ(store.create_key(std::u16string(255, u'k'), nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, WritingToAMissingKeyFails)
{
    EXPECT_EQ(store.write_value(u"Nowhere", u"v", dword_value(1)), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(std::filesystem::exists(store.file()));
}

TEST_F(RegistryStoreTest, DamagedFileIsReportedAndLeftWhole)
{
    const std::string damaged = "[Software]\n\"v\"=dword:1\n\"w\"=nonsense\n";
    std::ofstream(store.file()) << damaged;
    plat::DebugCapture log;
    RegistryValue v;
    EXPECT_EQ(store.read_value(u"Software", u"v", v), ERROR_INVALID_DATA);
    EXPECT_EQ(store.write_value(u"Software", u"v", dword_value(2)), ERROR_INVALID_DATA);
    EXPECT_EQ(read_text(store.file()), damaged);
    EXPECT_TRUE(log.contains("line 3"));
}

TEST_F(RegistryStoreTest, HandEditedFileIsRead)
{
    std::ofstream(store.file()) << "; by hand\r\n  [Software\\A]  \r\n\"n\"=dword:ff\r\n@=sz:\"x\\u0041\"\n";
    RegistryValue v;
    ASSERT_EQ(store.read_value(u"Software\\A", u"n", v), ERROR_SUCCESS);
    EXPECT_EQ(v, dword_value(255));
    ASSERT_EQ(store.read_value(u"Software\\A", u"", v), ERROR_SUCCESS);
    EXPECT_EQ(v, string_value(u"xA"));
    EXPECT_EQ(store.find_key(u"Software"), ERROR_SUCCESS);   // parents of a listed key exist
}

// Reads reuse the tree of text they have seen: a file changed behind the
// store's back, in place and at once, is read as it is now.
TEST_F(RegistryStoreTest, ReadsFollowTheFileAsItIsNow)
{
    const struct { const char* text; LONG result; DWORD value; } versions[] = {
        {"[Software]\n\"v\"=dword:1\n", ERROR_SUCCESS, 1},
        {"[Software]\n\"v\"=dword:2\n", ERROR_SUCCESS, 2},
        {"[Software]\n\"v\"=nonsense\n", ERROR_INVALID_DATA, 0},
        {"[Software]\n\"v\"=dword:2\n", ERROR_SUCCESS, 2},
    };
    for (const auto& version : versions) {
        SCOPED_TRACE(version.text);
        std::ofstream(store.file()) << version.text;
        plat::DebugCapture log;
        RegistryValue v;
        EXPECT_EQ(store.read_value(u"Software", u"v", v), version.result);
        if (version.result == ERROR_SUCCESS) {
            EXPECT_EQ(v, dword_value(version.value));
        }
    }
    ASSERT_EQ(store.write_value(u"Software", u"v", dword_value(3)), ERROR_SUCCESS);
    RegistryValue v;
    ASSERT_EQ(RegistryStore(registry.folder(), Hive::CurrentUser).read_value(u"Software", u"v", v), ERROR_SUCCESS);
    EXPECT_EQ(v, dword_value(3));
}

TEST_F(RegistryStoreTest, ReadOnlyHiveRefusesChanges)
{
    ASSERT_EQ(store.create_key(u"Software", nullptr), ERROR_SUCCESS);
    ASSERT_EQ(::chmod(store.file().c_str(), 0444), 0);
    EXPECT_EQ(store.check_writable(), ERROR_ACCESS_DENIED);
    EXPECT_EQ(store.create_key(u"Software\\New", nullptr), ERROR_ACCESS_DENIED);
    EXPECT_EQ(store.find_key(u"Software"), ERROR_SUCCESS);
    RegistryStore machine(registry.folder(), Hive::LocalMachine);   // other hives stay writable
    EXPECT_EQ(machine.create_key(u"Software", nullptr), ERROR_SUCCESS);
}

TEST_F(RegistryStoreTest, ConcurrentWritersLoseNothing)
{
    constexpr int writers = 4, per_writer = 40;
    ASSERT_EQ(store.create_key(u"K", nullptr), ERROR_SUCCESS);
    auto write_values = [&](int writer) {
        RegistryStore own(registry.folder(), Hive::CurrentUser);
        for (int i = 0; i < per_writer; ++i) {
            const std::string ascii = "w" + std::to_string(writer) + "-" + std::to_string(i);
            const std::u16string name(ascii.begin(), ascii.end());
            if (own.write_value(u"K", name, dword_value(DWORD(i))) != ERROR_SUCCESS) return false;
        }
        return true;
    };
    // Two writers in child processes, two in threads of this one.
    std::vector<pid_t> children;
    for (int w = 0; w < 2; ++w) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) ::_exit(write_values(w) ? 0 : 1);
        children.push_back(pid);
    }
    bool ok2 = false, ok3 = false;
    std::thread t2([&] { ok2 = write_values(2); });
    std::thread t3([&] { ok3 = write_values(3); });
    t2.join();
    t3.join();
    EXPECT_TRUE(ok2 && ok3);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::vector<plat::NamedRegistryValue> values;
    ASSERT_EQ(store.values(u"K", values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), std::size_t(writers * per_writer));
}

TEST(RegistryStoreFolder, FollowsEnvironment)
{
    plat::TemporaryRegistry registry;
    EXPECT_EQ(RegistryStore::default_folder(), registry.folder());
    // Relative values are no folder: the hives never land below the working folder.
    const struct { const char* registry; const char* config; const char* folder; } cases[] = {
        {nullptr, "/x/config", "/x/config/Corvalen/Strimo/registry"},
        {nullptr, "relative/config", "/x/home/.config/Corvalen/Strimo/registry"},
        {"relative/registry", nullptr, "/x/home/.config/Corvalen/Strimo/registry"},
    };
    plat::ScopedEnvironment home("HOME", "/x/home");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        plat::ScopedEnvironment dir("STRIMO_REGISTRY_DIR", c.registry);
        plat::ScopedEnvironment config("XDG_CONFIG_HOME", c.config);
        EXPECT_EQ(RegistryStore::default_folder(), std::filesystem::path(c.folder));
    }
}

TEST(RegistryStoreFolder, StoreWithoutAFolderReadsEmptyAndRefusesWrites)
{
    RegistryStore store({}, plat::Hive::CurrentUser);
    EXPECT_EQ(store.find_key(u""), ERROR_SUCCESS);
    EXPECT_EQ(store.find_key(u"Software"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.create_key(u"Software", nullptr), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(std::filesystem::exists(store.file()));
}

TEST(RegistryText, TextEndsAtTheFirstZeroUnitOrTheDataEnd)
{
    const struct { std::vector<BYTE> data; std::u16string text; } cases[] = {
        {{'h', 0, 'i', 0, 0, 0}, u"hi"},            // as Windows stores it
        {{'h', 0, 'i', 0}, u"hi"},                  // no terminator: the data's end
        {{'h', 0, 0, 0, 'x', 0}, u"h"},             // the first zero unit ends it
        {{'h', 0, 'i'}, u"h"},                      // an odd last byte is no unit
        {{0xAC, 0x20}, u"\u20AC"},                  // little-endian units
        {{}, u""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.text));
        EXPECT_EQ(plat::registry_text(c.data), c.text);
    }
    EXPECT_EQ(plat::registry_text_data(u"\u20ACa"), (std::vector<BYTE>{0xAC, 0x20, 'a', 0, 0, 0}));
}

}
