#include "TestInterfaces.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/ClassRegistry.h"
#include "platform/com/Com.h"
#include "platform/com/ComPtr.h"
#include "platform/com/ModuleTable.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/testing/TemporaryRegistry.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>

namespace {

int regsvr(const std::string& args)
{
    int status = std::system((std::string("'") + STRIMO_REGSVR + "' " + args + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string quoted(const std::string& path) { return "'" + path + "'"; }

const std::string module_path = std::filesystem::canonical(COM_TEST_MODULE).string();

std::optional<std::string> hkcr_string(std::u16string_view key, std::u16string_view name = u"")
{
    plat::RegistryValue value;
    auto store = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    if (store.read_value(key, name, value) != ERROR_SUCCESS)
        return std::nullopt;
    std::u16string text(reinterpret_cast<const char16_t*>(value.data.data()), value.data.size() / 2);
    while (!text.empty() && text.back() == u'\0')
        text.pop_back();
    return plat::utf16_to_utf8(text);
}

template <class T>
HRESULT create(REFCLSID clsid, plat::ComPtr<T>& out, DWORD clsctx = CLSCTX_ALL)
{
    return CoCreateInstance(clsid, nullptr, clsctx, T::iid, out.put_void());
}

class CoCreateInstanceTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override { CoUninitialize(); }

    plat::TemporaryRegistry m_registry;
};

}

TEST_F(CoCreateInstanceTest, CreatesARegisteredModulesObjectByClassIdAndByProgId)
{
    ASSERT_EQ(regsvr(quoted(module_path)), 0);

    plat::ComPtr<ITestCounter> counter;
    ASSERT_EQ(create(CLSID_TestCounter, counter), S_OK);
    EXPECT_EQ(counter->Next(), 1);
    EXPECT_EQ(counter->Next(), 2);

    for (const char16_t* prog_id : {u"StrimoTest.Counter.1", u"StrimoTest.Counter"}) {
        SCOPED_TRACE(plat::utf16_to_utf8(prog_id));
        CLSID clsid{};
        ASSERT_EQ(CLSIDFromProgID(prog_id, &clsid), S_OK);
        EXPECT_EQ(clsid, CLSID_TestCounter);
        plat::ComPtr<ITestNamedCounter> named;
        ASSERT_EQ(create(clsid, named, CLSCTX_INPROC_SERVER), S_OK);
        EXPECT_STREQ(named->Name(), "test counter");
        EXPECT_EQ(named->Next(), 1) << "a new object";
    }
}

TEST_F(CoCreateInstanceTest, RegistrationWritesTheClassAndProgIdKeys)
{
    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    const std::u16string clsid_key = u"CLSID\\" + plat::format_guid_utf16(CLSID_TestCounter);
    const std::string clsid_text = plat::format_guid(CLSID_TestCounter);
    const struct { std::u16string key; std::u16string name; std::string value; } cases[] = {
        {clsid_key, u"", "TestCounter Class"},
        {clsid_key + u"\\InprocServer32", u"", module_path},
        {clsid_key + u"\\InprocServer32", u"ThreadingModel", "Both"},
        {clsid_key + u"\\ProgID", u"", "StrimoTest.Counter.1"},
        {clsid_key + u"\\VersionIndependentProgID", u"", "StrimoTest.Counter"},
        {u"StrimoTest.Counter.1", u"", "TestCounter Class"},
        {u"StrimoTest.Counter.1\\CLSID", u"", clsid_text},
        {u"StrimoTest.Counter\\CLSID", u"", clsid_text},
        {u"StrimoTest.Counter\\CurVer", u"", "StrimoTest.Counter.1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(plat::utf16_to_utf8(c.key + u" " + c.name));
        EXPECT_EQ(hkcr_string(c.key, c.name), c.value);
    }
}

TEST_F(CoCreateInstanceTest, ObjectsOfAModuleKeepItInUse)
{
    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    plat::ComPtr<ITestCounter> counter;
    ASSERT_EQ(create(CLSID_TestCounter, counter), S_OK);
    const plat::LoadedModule* module = nullptr;
    ASSERT_EQ(plat::load_server_module(module_path, &module), S_OK);
    auto can_unload = reinterpret_cast<HRESULT (*)()>(module->symbol("DllCanUnloadNow"));
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), S_FALSE);
    counter.reset();
    EXPECT_EQ(can_unload(), S_OK);
}

TEST_F(CoCreateInstanceTest, AModuleSharesTheCallersComState)
{
    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    plat::ComPtr<ITestFactoryUser> user;
    ASSERT_EQ(create(CLSID_TestCounter, user), S_OK);
    // The module creates by class id on this thread: it must see this thread's initialisation.
    plat::ComPtr<ITestCounter> inner;
    ASSERT_EQ(user->CreateByClassId(CLSID_TestCounter, ITestCounter::iid, inner.put_void()), S_OK);
    EXPECT_EQ(inner->Next(), 1);
}

TEST_F(CoCreateInstanceTest, RefusesClassesAndProgIdsThatAreNotRegistered)
{
    plat::ComPtr<ITestCounter> counter;
    EXPECT_EQ(create(CLSID_TestCounter, counter), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(counter);

    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    EXPECT_EQ(create(CLSID_TestCounter, counter, CLSCTX_LOCAL_SERVER), REGDB_E_CLASSNOTREG)
        << "the class has no local server";

    // A ProgID is one key name: a path into other keys finds nothing.
    auto store = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    ASSERT_EQ(store.create_key(u"Outer\\Inner\\CLSID", nullptr), ERROR_SUCCESS);
    const std::u16string text = plat::format_guid_utf16(CLSID_TestCounter);
    plat::RegistryValue value{REG_SZ, std::vector<BYTE>((text.size() + 1) * 2)};
    std::memcpy(value.data.data(), text.c_str(), value.data.size());
    ASSERT_EQ(store.write_value(u"Outer\\Inner\\CLSID", u"", value), ERROR_SUCCESS);
    for (const char16_t* prog_id : {u"StrimoTest.Nothing", u"", u"Outer\\Inner"}) {
        SCOPED_TRACE(plat::utf16_to_utf8(prog_id));
        CLSID clsid = CLSID_TestCounter;
        EXPECT_EQ(CLSIDFromProgID(prog_id, &clsid), CO_E_CLASSSTRING);
        EXPECT_EQ(clsid, GUID_NULL);
    }
}

TEST_F(CoCreateInstanceTest, UnregisteringRemovesOnlyTheModulesKeys)
{
    auto store = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    ASSERT_EQ(store.create_key(u"CLSID\\{00000000-0000-0000-0000-0000000000AA}", nullptr), ERROR_SUCCESS);
    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    ASSERT_EQ(regsvr("-u " + quoted(module_path)), 0);

    plat::ComPtr<ITestCounter> counter;
    EXPECT_EQ(create(CLSID_TestCounter, counter), REGDB_E_CLASSNOTREG);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(u"StrimoTest.Counter", &clsid), CO_E_CLASSSTRING);
    for (const char16_t* key : {u"StrimoTest.Counter", u"StrimoTest.Counter.1"})
        EXPECT_EQ(store.find_key(key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.find_key(u"CLSID\\" + plat::format_guid_utf16(CLSID_TestCounter)), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(store.find_key(u"CLSID\\{00000000-0000-0000-0000-0000000000AA}"), ERROR_SUCCESS);
    EXPECT_EQ(regsvr("-u " + quoted(module_path)), 0) << "removing it twice is no fault";
}

TEST_F(CoCreateInstanceTest, AServerThatDoesNotLoadFailsClearly)
{
    const auto folder = m_registry.folder();
    const std::string not_elf = (folder / "not-a-module.so").string();
    std::ofstream(not_elf) << "just text\n";
    const struct { const char* what; CLSID clsid; std::string path; HRESULT expected; } cases[] = {
        {"missing file", plat::make_guid("{5A000000-0000-4000-8000-000000000001}"),
         (folder / "missing.so").string(), CO_E_DLLNOTFOUND},
        {"not a module", plat::make_guid("{5A000000-0000-4000-8000-000000000002}"), not_elf, CO_E_DLLNOTFOUND},
        {"no DllGetClassObject", plat::make_guid("{5A000000-0000-4000-8000-000000000003}"),
         std::filesystem::canonical(PLAT_COM_LIBRARY).string(), CO_E_ERRORINDLL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(plat::write_class_keys({c.clsid, "Broken", "", "", ""}, c.path), ERROR_SUCCESS);
        plat::DebugCapture capture;
        plat::ComPtr<IUnknown> object;
        EXPECT_EQ(create(c.clsid, object), c.expected);
        EXPECT_FALSE(object);
        EXPECT_TRUE(capture.contains(c.path)) << "the debug sink names the module";
    }
}

TEST(RegistrationTool, RefusesBadArgumentsAndModulesItCannotUse)
{
    plat::TemporaryRegistry registry;
    const std::string not_elf = (registry.folder() / "not-a-module.so").string();
    std::ofstream(not_elf) << "just text\n";
    const struct { const char* what; std::string args; int status; } cases[] = {
        {"nothing to register", "", 2},
        {"-u alone", "-u", 2},
        {"two modules", quoted(module_path) + " " + quoted(module_path), 2},
        {"unknown option", "-x " + quoted(module_path), 2},
        {"missing module", quoted((registry.folder() / "missing.so").string()), 1},
        {"not a module", quoted(not_elf), 1},
        {"no DllRegisterServer", quoted(PLAT_COM_LIBRARY), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(regsvr(c.args), c.status);
    }
    EXPECT_FALSE(std::filesystem::exists(registry.folder() / "HKEY_CLASSES_ROOT.reg")) << "nothing was written";
}

TEST(RegistrationTool, ReportsARegistryItCannotWrite)
{
    plat::TemporaryRegistry registry;
    ASSERT_EQ(regsvr(quoted(module_path)), 0);
    const auto hive = registry.folder() / "HKEY_CLASSES_ROOT.reg";
    std::filesystem::permissions(hive, std::filesystem::perms::all, std::filesystem::perm_options::remove);
    EXPECT_EQ(regsvr(quoted(module_path)), 1);
    EXPECT_EQ(regsvr("-u " + quoted(module_path)), 1);
}
