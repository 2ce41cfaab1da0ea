#include "platform/dshow/FilterRegistration.h"

#include "platform/base/DebugLog.h"
#include "platform/base/Utf.h"
#include "platform/com/Com.h"
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

// Reads the stored data's little-endian words, refusing any beyond its end.
class DataReader {
public:
    explicit DataReader(std::span<const BYTE> data) : m_data(data) {}
    std::optional<DWORD> word_at(std::size_t at) const
    {
        if (at > m_data.size() || m_data.size() - at < 4) return std::nullopt;
        DWORD v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<DWORD>(m_data[at + i]) << (8 * i);
        return v;
    }
    std::optional<DWORD> next()
    {
        auto v = word_at(m_at);
        m_at += 4;
        return v;
    }
    std::optional<GUID> guid_at(DWORD at) const
    {
        if (at > m_data.size() || m_data.size() - at < sizeof(GUID)) return std::nullopt;
        GUID g;
        std::memcpy(&g, m_data.data() + at, sizeof g);
        return g;
    }

private:
    std::span<const BYTE> m_data;
    std::size_t m_at{0};
};

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

std::optional<FilterDataSummary> read_filter_data(std::span<const BYTE> data)
{
    DataReader in(data);
    auto version = in.next(), merit = in.next(), pins = in.next(), reserved = in.next();
    if (!version || *version != 2 || !merit || !pins || !reserved) return std::nullopt;
    FilterDataSummary out{*merit, {}};
    for (DWORD p = 0; p < *pins; ++p) {
        auto tag = in.next(), flags = in.next(), instances = in.next(), types = in.next(), mediums = in.next(),
             category = in.next();
        if (!tag || !flags || !instances || !types || !mediums || !category) return std::nullopt;
        for (DWORD t = 0; t < *types; ++t) {
            auto type_tag = in.next(), type_reserved = in.next(), major_at = in.next(), minor_at = in.next();
            if (!type_tag || !type_reserved || !major_at || !minor_at) return std::nullopt;
            auto major = in.guid_at(*major_at), minor = in.guid_at(*minor_at);
            if (!major || !minor) return std::nullopt;
            if (!(*flags & pin_output)) out.inputs.push_back({*major, *minor});
        }
        // Mediums are never written here; a pin claiming some is data we do not read.
        if (*mediums != 0) return std::nullopt;
    }
    return out;
}

ComPtr<IBaseFilter> create_registered_filter(const CLSID& clsid)
{
    ComPtr<IBaseFilter> filter;
    if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, filter.put_void())))
        return {};
    return filter;
}

std::vector<FilterTemplate> registered_filters(const FilterMaker& make)
{
    const RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const std::u16string category = u"CLSID\\" + format_guid_utf16(CLSID_LegacyAmFilterCategory) + u"\\Instance";
    std::vector<std::u16string> names;
    std::vector<FilterTemplate> out;
    if (store.subkey_names(category, names) != ERROR_SUCCESS) return out;
    for (const std::u16string& name : names) {
        const std::u16string key = category + u"\\" + name;
        RegistryValue clsid_text, friendly, data;
        if (store.read_value(key, u"CLSID", clsid_text) != ERROR_SUCCESS ||
            store.read_value(key, u"FilterData", data) != ERROR_SUCCESS)
            continue;
        const auto clsid = parse_guid(utf16_to_utf8(registry_text(clsid_text.data)));
        const auto summary = read_filter_data(data.data);
        if (!clsid || !summary) continue;
        std::u16string label = store.read_value(key, u"FriendlyName", friendly) == ERROR_SUCCESS
                                   ? registry_text(friendly.data)
                                   : name;
        out.push_back({std::move(label), summary->merit, [make, id = *clsid] { return make(id); }, summary->inputs});
    }
    return out;
}

}
