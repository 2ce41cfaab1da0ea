#include "Registry.h"

#include "RegistryStore.h"

#include "platform/base/Utf.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>

struct HKEY__ {
    plat::RegistryStore store;
    std::u16string path;   // from the hive root, normalised
    REGSAM access;
};

namespace {

constexpr REGSAM write_rights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;

// What a handle names: a predefined root, whose hive is looked up now, or an opened key.
std::optional<HKEY__> resolve(HKEY key)
{
    auto root = [](plat::Hive hive) { return HKEY__{plat::RegistryStore::open_default(hive), u"", KEY_ALL_ACCESS}; };
    if (key == HKEY_CLASSES_ROOT) return root(plat::Hive::ClassesRoot);
    if (key == HKEY_CURRENT_USER) return root(plat::Hive::CurrentUser);
    if (key == HKEY_LOCAL_MACHINE) return root(plat::Hive::LocalMachine);
    if (!key) return std::nullopt;
    return *key;
}

std::u16string_view text_of(LPCWSTR text) { return text ? std::u16string_view(text) : std::u16string_view(); }

// The full path of sub_key below the key, or nullopt for a bad name.
std::optional<std::u16string> child_path(const HKEY__& parent, LPCWSTR sub_key)
{
    auto sub = plat::normalise_key_path(text_of(sub_key));
    if (!sub) return std::nullopt;
    if (parent.path.empty()) return sub;
    if (sub->empty()) return parent.path;
    return parent.path + u'\\' + *sub;
}

bool allows(const HKEY__& key, REGSAM rights) { return (key.access & rights) == rights; }

// Copies data the Windows way: a null buffer asks for the size, a short one gets ERROR_MORE_DATA.
LONG copy_data(const plat::RegistryValue& value, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (data && !size) return ERROR_INVALID_PARAMETER;
    if (type) *type = value.type;
    if (!size) return ERROR_SUCCESS;
    const auto needed = static_cast<DWORD>(value.data.size());
    const DWORD room = *size;
    *size = needed;
    if (!data) return ERROR_SUCCESS;
    if (room < needed) return ERROR_MORE_DATA;
    std::copy(value.data.begin(), value.data.end(), data);
    return ERROR_SUCCESS;
}

// Copies a name with its terminator into a buffer of *length units; *length becomes the name's length.
LONG copy_name(std::u16string_view name, LPWSTR buffer, LPDWORD length)
{
    if (!buffer || !length) return ERROR_INVALID_PARAMETER;
    if (*length < name.size() + 1) return ERROR_MORE_DATA;
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

}

LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM access, PHKEY result) noexcept try {
    if (!result || options != 0) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    auto parent = resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    auto path = child_path(*parent, sub_key);
    if (!path) return ERROR_INVALID_PARAMETER;
    if (LONG rc = parent->store.find_key(*path); rc != ERROR_SUCCESS) return rc;
    if (access & write_rights)
        if (LONG rc = parent->store.check_writable(); rc != ERROR_SUCCESS) return rc;
    *result = new HKEY__{parent->store, *path, access};
    return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR, DWORD options, REGSAM access,
                     const void*, PHKEY result, LPDWORD disposition) noexcept try {
    if (!result || !sub_key || reserved != 0 || options != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    auto parent = resolve(key);
    if (!parent) return ERROR_INVALID_HANDLE;
    auto path = child_path(*parent, sub_key);
    if (!path) return ERROR_INVALID_PARAMETER;
    plat::KeyDisposition how = plat::KeyDisposition::OpenedExisting;
    LONG rc = parent->store.find_key(*path);
    if (rc == ERROR_FILE_NOT_FOUND) {
        if (!allows(*parent, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        rc = parent->store.create_key(*path, &how);
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (access & write_rights)
        if (rc = parent->store.check_writable(); rc != ERROR_SUCCESS) return rc;
    if (disposition)
        *disposition = how == plat::KeyDisposition::CreatedNew ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = new HKEY__{parent->store, *path, access};
    return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR value_name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) noexcept try {
    if (reserved) return ERROR_INVALID_PARAMETER;
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!allows(*open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    plat::RegistryValue value;
    if (LONG rc = open->store.read_value(open->path, text_of(value_name), value); rc != ERROR_SUCCESS) return rc;
    return copy_data(value, type, data, size);
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegSetValueExW(HKEY key, LPCWSTR value_name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) noexcept try {
    if (reserved != 0 || (!data && size != 0)) return ERROR_INVALID_PARAMETER;
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!allows(*open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    plat::RegistryValue value{type, data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>()};
    return open->store.write_value(open->path, text_of(value_name), value);
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR value_name) noexcept try {
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!allows(*open, KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
    return open->store.delete_value(open->path, text_of(value_name));
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key) noexcept try {
    if (!sub_key) return ERROR_INVALID_PARAMETER;
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    auto path = child_path(*open, sub_key);
    if (!path) return ERROR_INVALID_PARAMETER;
    return open->store.delete_key(*path);
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_length, LPDWORD reserved, LPWSTR key_class,
                   LPDWORD class_length, FILETIME* last_write_time) noexcept try {
    if (reserved) return ERROR_INVALID_PARAMETER;
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!allows(*open, KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
    std::vector<std::u16string> names;
    if (LONG rc = open->store.subkey_names(open->path, names); rc != ERROR_SUCCESS) return rc;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    if (LONG rc = copy_name(names[index], name, name_length); rc != ERROR_SUCCESS) return rc;
    if (key_class && class_length) {
        if (*class_length < 1) return ERROR_MORE_DATA;
        key_class[0] = 0;
        *class_length = 0;
    }
    if (last_write_time) *last_write_time = FILETIME{0, 0};
    return ERROR_SUCCESS;
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR value_name, LPDWORD value_name_length, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD size) noexcept try {
    if (reserved) return ERROR_INVALID_PARAMETER;
    auto open = resolve(key);
    if (!open) return ERROR_INVALID_HANDLE;
    if (!allows(*open, KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    std::vector<plat::NamedRegistryValue> values;
    if (LONG rc = open->store.values(open->path, values); rc != ERROR_SUCCESS) return rc;
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    if (LONG rc = copy_name(values[index].name, value_name, value_name_length); rc != ERROR_SUCCESS) return rc;
    return copy_data(values[index].value, type, data, size);
} catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegCloseKey(HKEY key) noexcept
{
    if (key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE) return ERROR_SUCCESS;
    if (!key) return ERROR_INVALID_HANDLE;
    delete key;
    return ERROR_SUCCESS;
}
