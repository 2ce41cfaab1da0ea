// Garvish, the browser extension module: the browser helper object's class,
// registered in HKCR as a COM class and in HKLM among the browser's helper
// objects, which a browser creates for each of its windows.

#include "browserext/CRSSFetcher.h"
#include "platform/base/Utf.h"
#include "platform/com/ServerExports.h"
#include "platform/com/ServerModule.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <cstring>

namespace {

constexpr const char* plugin_name = "Corvalen IE RSS Plugin";
constexpr const char* app_id = "{C96D6FFC-A9CD-478B-ADEA-EBDA34725C84}";

const plat::ServerClass classes[] = {
    plat::server_class<CRSSFetcher>(
        {CLSID_RSSFetcher, plugin_name, "Garvish.RSSFetcher.1", "Garvish.RSSFetcher", "Both"}),
};

std::u16string class_key() { return u"CLSID\\" + plat::format_guid_utf16(CLSID_RSSFetcher); }
std::u16string app_id_key() { return u"AppID\\" + plat::utf8_to_utf16(app_id); }
std::u16string helper_key()
{
    return std::u16string(browser_helpers_key) + u"\\" + plat::format_guid_utf16(CLSID_RSSFetcher);
}

plat::RegistryValue text_value(std::string_view text)
{
    return {REG_SZ, plat::registry_text_data(plat::utf8_to_utf16(text))};
}

// What the class table does not write: the application id, the ProgIDs'
// own description, "Programmable", and the browser's list of helpers.
LONG write_helper_keys()
{
    plat::RegistryStore classes_root = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    LONG rc = plat::write_key(classes_root, app_id_key(), "Garvish");
    if (rc == ERROR_SUCCESS)
        rc = classes_root.create_key(u"AppID\\Garvish.DLL", nullptr);
    if (rc == ERROR_SUCCESS)
        rc = classes_root.write_value(u"AppID\\Garvish.DLL", u"AppID", text_value(app_id));
    for (const char16_t* prog_id : {u"Garvish.RSSFetcher.1", u"Garvish.RSSFetcher"})
        if (rc == ERROR_SUCCESS)
            rc = classes_root.write_value(prog_id, u"", text_value("RSSFetcher Class"));
    if (rc == ERROR_SUCCESS)
        rc = classes_root.create_key(class_key() + u"\\Programmable", nullptr);
    if (rc == ERROR_SUCCESS)
        rc = classes_root.write_value(class_key(), u"AppID", text_value(app_id));
    if (rc != ERROR_SUCCESS)
        return rc;
    plat::RegistryStore machine = plat::RegistryStore::open_default(plat::Hive::LocalMachine);
    rc = plat::write_key(machine, helper_key(), plugin_name);
    if (rc == ERROR_SUCCESS) {
        // The shell's own windows are browsers too; they do not load it.
        const DWORD no_explorer = 1;
        plat::RegistryValue value{REG_DWORD, std::vector<std::uint8_t>(sizeof no_explorer)};
        std::memcpy(value.data.data(), &no_explorer, sizeof no_explorer);
        rc = machine.write_value(helper_key(), u"NoExplorer", value);
    }
    return rc;
}

LONG remove_helper_keys()
{
    plat::RegistryStore classes_root = plat::RegistryStore::open_default(plat::Hive::ClassesRoot);
    plat::RegistryStore machine = plat::RegistryStore::open_default(plat::Hive::LocalMachine);
    LONG rc = plat::delete_key_tree(machine, helper_key());
    if (rc == ERROR_SUCCESS)
        rc = plat::delete_key_tree(classes_root, app_id_key());
    if (rc == ERROR_SUCCESS)
        rc = plat::delete_key_tree(classes_root, u"AppID\\Garvish.DLL");
    return rc;
}

}

HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
{
    return plat::get_class_object(classes, clsid, iid, object);
}

HRESULT DllCanUnloadNow() { return plat::can_unload_now(); }

HRESULT DllRegisterServer()
{
    const HRESULT hr = plat::register_server(classes);
    if (FAILED(hr))
        return hr;
    try {
        return write_helper_keys() == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
    } catch (const std::exception&) {
        return SELFREG_E_CLASS;
    }
}

HRESULT DllUnregisterServer()
{
    HRESULT hr = plat::unregister_server(classes);
    try {
        if (remove_helper_keys() != ERROR_SUCCESS)
            hr = SELFREG_E_CLASS;
    } catch (const std::exception&) {
        hr = SELFREG_E_CLASS;
    }
    return hr;
}
