#include "platform/dshow/FilterRegistration.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <cstring>
#include <string>

namespace plat {
namespace {

std::u16string instance_key(const CLSID& clsid)
{
    return u"CLSID\\" + format_guid_utf16(CLSID_LegacyAmFilterCategory) + u"\\Instance\\" + format_guid_utf16(clsid);
}

RegistryValue text(std::string_view value) { return {REG_SZ, registry_text_data(utf8_to_utf16(value))}; }

RegistryValue dword(DWORD value)
{
    RegistryValue out{REG_DWORD, std::vector<BYTE>(sizeof value)};
    std::memcpy(out.data.data(), &value, sizeof value);
    return out;
}

}

HRESULT register_filter(const FilterSetup& setup) noexcept
try {
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const std::u16string key = instance_key(setup.clsid);
    LONG rc = store.create_key(key, nullptr);
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"FriendlyName", text(setup.name));
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"CLSID", text(format_guid(setup.clsid)));
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"Merit", dword(setup.merit));
    for (std::size_t i = 0; i < setup.pins.size() && rc == ERROR_SUCCESS; ++i) {
        const PinSetup& pin = setup.pins[i];
        const std::u16string name = u"Pin" + utf8_to_utf16(std::to_string(i));
        rc = store.write_value(key, name, text(pin.name));
        if (rc == ERROR_SUCCESS) rc = store.write_value(key, name + u"Flags", dword(pin.flags));
        if (rc == ERROR_SUCCESS)
            rc = store.write_value(key, name + u"Types", text(format_guid(pin.major_type) + format_guid(pin.subtype)));
    }
    if (rc == ERROR_SUCCESS) return S_OK;
    debug_log("dshow: cannot register the filter " + format_guid(setup.clsid) + ": registry error " + std::to_string(rc));
    return SELFREG_E_CLASS;
} catch (const std::exception& e) {
    debug_log(std::string("dshow: filter registration failed: ") + e.what());
    return SELFREG_E_CLASS;
}

HRESULT unregister_filter(const CLSID& clsid) noexcept
try {
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const LONG rc = store.delete_key(instance_key(clsid));
    return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
} catch (const std::exception& e) {
    debug_log(std::string("dshow: filter unregistration failed: ") + e.what());
    return SELFREG_E_CLASS;
}

}
