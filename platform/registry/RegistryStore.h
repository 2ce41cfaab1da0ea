#pragma once
// One registry hive kept in a human-readable text file (format in HiveTree.h).
//
// Every change re-reads the file under an exclusive flock on "<hive>.lock",
// applies itself and replaces the file through a temporary file and rename, so
// writers in any number of processes and threads never lose each other's
// changes, and readers (who take no lock) always see one whole version.
// A hive file without any write permission bit is read-only for everyone
// (root included); writes to it, or into a folder we may not write, give
// ERROR_ACCESS_DENIED.
//
// Key paths are names joined by '\' from the hive root ("" is the root) and,
// like value names, compare without case. Results are Win32 error codes.

#include "HiveTree.h"

#include "platform/base/Types.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine };

enum class KeyDisposition { CreatedNew, OpenedExisting };

class RegistryStore {
public:
    RegistryStore(std::filesystem::path folder, Hive hive);

    // $STRIMO_REGISTRY_DIR when absolute, else Corvalen/Strimo/registry under
    // plat::config_folder(). Read on every call, so tests can move it. Empty when the
    // user has no home: a store there reads as empty and refuses writes.
    static std::filesystem::path default_folder();
    static RegistryStore open_default(Hive hive) { return {default_folder(), hive}; }

    Hive hive() const { return m_hive; }
    const std::filesystem::path& file() const { return m_file; }

    // ERROR_SUCCESS when changes may be written, else ERROR_ACCESS_DENIED.
    LONG check_writable() const;

    LONG find_key(std::u16string_view path) const;   // 0, or ERROR_FILE_NOT_FOUND
    LONG create_key(std::u16string_view path, KeyDisposition* disposition);
    // The key must have no subkeys (else ERROR_ACCESS_DENIED); the root cannot go.
    LONG delete_key(std::u16string_view path);
    LONG subkey_names(std::u16string_view path, std::vector<std::u16string>& out) const;

    LONG read_value(std::u16string_view path, std::u16string_view name, RegistryValue& out) const;
    LONG write_value(std::u16string_view path, std::u16string_view name, const RegistryValue& value);
    LONG delete_value(std::u16string_view path, std::u16string_view name);
    LONG values(std::u16string_view path, std::vector<NamedRegistryValue>& out) const;

private:
    // The hive as its file holds it now, parsed again only when its text changed.
    LONG load(std::shared_ptr<const HiveTree>& tree) const;
    // Runs edit on the current tree under the lock and saves it when edit returns 0.
    LONG change(const std::function<LONG(HiveTree&)>& edit);
    LONG save(const HiveTree& tree) const;

    Hive m_hive;
    std::filesystem::path m_folder;
    std::filesystem::path m_file;
    std::filesystem::path m_lock_file;
};

std::string_view hive_name(Hive hive);   // "HKEY_CURRENT_USER", ...

}
