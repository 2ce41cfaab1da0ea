#include "ClassRegistry.h"

#include "platform/base/Utf.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "platform/registry/RegistryText.h"


namespace plat {

namespace {

RegistryValue string_value(std::string_view text) { return {REG_SZ, registry_text_data(utf8_to_utf16(text))}; }

// A REG_SZ read back, without the terminator its writer may have stored.
std::optional<std::u16string> read_string(const RegistryStore& store, std::u16string_view path,
                                          std::u16string_view name = u"")
{
    RegistryValue value;
    if (store.read_value(path, name, value) != ERROR_SUCCESS || value.type != REG_SZ)
        return std::nullopt;
    return registry_text(value.data);
}

std::u16string class_key(const CLSID& clsid) { return u"CLSID\\" + format_guid_utf16(clsid); }

LONG write_prog_id(RegistryStore& store, const ClassRegistration& r, std::string_view prog_id,
                   std::string_view current_version)
{
    const std::u16string key = utf8_to_utf16(prog_id);
    LONG rc = write_key(store, key, r.description);
    if (rc == ERROR_SUCCESS)
        rc = write_key(store, key + u"\\CLSID", format_guid(r.clsid));
    if (rc == ERROR_SUCCESS && !current_version.empty())
        rc = write_key(store, key + u"\\CurVer", current_version);
    return rc;
}

}

LONG write_key(RegistryStore& store, std::u16string_view path, std::string_view default_value)
{
    if (LONG rc = store.create_key(path, nullptr); rc != ERROR_SUCCESS)
        return rc;
    return store.write_value(path, u"", string_value(default_value));
}

LONG delete_key_tree(RegistryStore& store, const std::u16string& path)
{
    std::vector<std::u16string> children;
    LONG rc = store.subkey_names(path, children);
    if (rc == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (rc != ERROR_SUCCESS)
        return rc;
    for (const auto& child : children)
        if (rc = delete_key_tree(store, path + u'\\' + child); rc != ERROR_SUCCESS)
            return rc;
    rc = store.delete_key(path);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG write_class_keys(const ClassRegistration& r, std::string_view module_path)
{
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    const std::u16string key = class_key(r.clsid);
    LONG rc = write_key(store, key, r.description);
    if (rc == ERROR_SUCCESS)
        rc = write_key(store, key + u"\\InprocServer32", module_path);
    if (rc == ERROR_SUCCESS && !r.threading_model.empty())
        rc = store.write_value(key + u"\\InprocServer32", u"ThreadingModel", string_value(r.threading_model));
    if (rc == ERROR_SUCCESS && !r.prog_id.empty())
        rc = write_key(store, key + u"\\ProgID", r.prog_id);
    if (rc == ERROR_SUCCESS && !r.version_independent_prog_id.empty())
        rc = write_key(store, key + u"\\VersionIndependentProgID", r.version_independent_prog_id);
    if (rc == ERROR_SUCCESS && !r.prog_id.empty())
        rc = write_prog_id(store, r, r.prog_id, {});
    if (rc == ERROR_SUCCESS && !r.version_independent_prog_id.empty())
        rc = write_prog_id(store, r, r.version_independent_prog_id, r.prog_id);
    return rc;
}

LONG remove_class_keys(const ClassRegistration& r)
{
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    LONG rc = delete_key_tree(store, class_key(r.clsid));
    if (rc == ERROR_SUCCESS && !r.prog_id.empty())
        rc = delete_key_tree(store, utf8_to_utf16(r.prog_id));
    if (rc == ERROR_SUCCESS && !r.version_independent_prog_id.empty())
        rc = delete_key_tree(store, utf8_to_utf16(r.version_independent_prog_id));
    return rc;
}

std::optional<std::string> inproc_server_of(const CLSID& clsid)
{
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    auto path = read_string(store, class_key(clsid) + u"\\InprocServer32");
    if (!path || path->empty())
        return std::nullopt;
    return utf16_to_utf8(*path);
}

std::optional<CLSID> clsid_of_prog_id(std::u16string_view prog_id)
{
    // A ProgID is one key name; a '\' would reach into other keys.
    if (prog_id.empty() || prog_id.find(u'\\') != std::u16string_view::npos)
        return std::nullopt;
    RegistryStore store = RegistryStore::open_default(Hive::ClassesRoot);
    auto text = read_string(store, std::u16string(prog_id) + u"\\CLSID");
    if (!text)
        return std::nullopt;
    return parse_guid(utf16_to_utf8(*text));
}

}
