#include "platform/dshow/FilterRegistration.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace plat {

namespace {

constexpr DWORD pin_zero = 1, pin_rendered = 2, pin_many = 4, pin_output = 8;

void put(std::vector<BYTE>& out, DWORD value)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<BYTE>(value >> (8 * i)));
}

void put_tag(std::vector<BYTE>& out, std::size_t index, const char* rest)
{
    out.push_back(static_cast<BYTE>('0' + index));
    out.insert(out.end(), rest, rest + 3);
}

std::u16string instance_key(const CLSID& clsid)
{
    return u"CLSID\\" + format_guid_utf16(CLSID_LegacyAmFilterCategory) + u"\\Instance\\" + format_guid_utf16(clsid);
}

RegistryValue text_value(std::string_view text) { return {REG_SZ, registry_text_data(utf8_to_utf16(text))}; }

}

std::vector<BYTE> filter_data(const FilterSetup& setup)
{
    std::vector<BYTE> out;
    put(out, 2);
    put(out, setup.merit);
    put(out, static_cast<DWORD>(setup.pins.size()));
    put(out, 0);
    // Each GUID is stored once after the pins; the types point at it by offset.
    std::vector<GUID> guids;
    std::vector<std::size_t> fixups;   // where an offset goes, in guids order of use
    std::vector<std::size_t> uses;     // the guid each fixup points at
    auto refer = [&](const GUID& g) {
        auto it = std::find(guids.begin(), guids.end(), g);
        if (it == guids.end()) it = guids.insert(guids.end(), g);
        fixups.push_back(out.size());
        uses.push_back(static_cast<std::size_t>(it - guids.begin()));
        put(out, 0);
    };
    for (std::size_t p = 0; p < setup.pins.size(); ++p) {
        const PinSetup& pin = setup.pins[p];
        put_tag(out, p, "pi3");
        put(out, (pin.zero ? pin_zero : 0) | (pin.rendered ? pin_rendered : 0) | (pin.many ? pin_many : 0) |
                     (pin.output ? pin_output : 0));
        put(out, pin.many ? 0 : 1);
        put(out, static_cast<DWORD>(pin.types.size()));
        put(out, 0);   // mediums
        put(out, 0);   // no category
        for (std::size_t t = 0; t < pin.types.size(); ++t) {
            put_tag(out, t, "ty3");
            put(out, 0);
            refer(*pin.types[t].major);
            refer(*pin.types[t].minor);
        }
    }
    const std::size_t base = out.size();
    for (const GUID& g : guids) {
        const auto* bytes = reinterpret_cast<const BYTE*>(&g);
        out.insert(out.end(), bytes, bytes + sizeof(GUID));
    }
    for (std::size_t i = 0; i < fixups.size(); ++i) {
        const auto offset = static_cast<DWORD>(base + uses[i] * sizeof(GUID));
        std::memcpy(out.data() + fixups[i], &offset, sizeof offset);
    }
    return out;
}

LONG write_filter_keys(const FilterSetup& setup)
{
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const std::u16string key = instance_key(*setup.clsid);
    LONG rc = store.create_key(key, nullptr);
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"FriendlyName", text_value(setup.name));
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"CLSID", text_value(format_guid(*setup.clsid)));
    if (rc == ERROR_SUCCESS) rc = store.write_value(key, u"FilterData", {REG_BINARY, filter_data(setup)});
    return rc;
}

LONG remove_filter_keys(const CLSID& clsid)
{
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const LONG rc = store.delete_key(instance_key(clsid));
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

HRESULT register_filter_module(std::span<const ServerClass> classes, const FilterSetup& setup)
{
    if (HRESULT hr = register_server(classes); FAILED(hr)) return hr;
    if (LONG rc = write_filter_keys(setup); rc != ERROR_SUCCESS) {
        debug_log(std::string(setup.name) + ": cannot register the filter data: registry error " + std::to_string(rc));
        return SELFREG_E_CLASS;
    }
    return S_OK;
}

HRESULT unregister_filter_module(std::span<const ServerClass> classes, const CLSID& clsid)
{
    const LONG rc = remove_filter_keys(clsid);
    const HRESULT hr = unregister_server(classes);
    return rc == ERROR_SUCCESS ? hr : SELFREG_E_CLASS;
}

}
