#include "RegistryStore.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"
#include "platform/fs/Files.h"
#include "platform/fs/Folders.h"
#include "platform/fs/UniqueFd.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

LONG error_from_errno(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS: return ERROR_ACCESS_DENIED;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return ERROR_CANTWRITE;
    }
}

// An exclusive flock held for the life of the object.
class HiveLock {
public:
    explicit HiveLock(const std::filesystem::path& file)
        : m_fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666))
    {
        if (!m_fd.valid()) {
            m_error = error_from_errno(errno);
            return;
        }
        while (::flock(m_fd.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                m_error = error_from_errno(errno);
                return;
            }
        }
    }
    LONG error() const { return m_error; }   // the fd's close releases the lock

private:
    UniqueFd m_fd;
    LONG m_error = ERROR_SUCCESS;
};

// The tree last read from each hive, with the file and the text it came from.
// Class look-ups read one hive many times a second (every object a script
// creates asks twice); a reader that finds the same text again takes that tree
// instead of parsing it once more. Comparing the whole text keeps this exact
// whoever wrote the file, and in whichever process.
class ReadTrees {
public:
    std::shared_ptr<const HiveTree> find(Hive hive, const std::filesystem::path& file, std::string_view text)
    {
        std::scoped_lock hold(m_lock);
        const Entry& entry = m_entries[static_cast<std::size_t>(hive)];
        return entry.tree && entry.file == file && entry.text == text ? entry.tree : nullptr;
    }
    void keep(Hive hive, std::filesystem::path file, std::string text, std::shared_ptr<const HiveTree> tree)
    {
        std::scoped_lock hold(m_lock);
        m_entries[static_cast<std::size_t>(hive)] = {std::move(file), std::move(text), std::move(tree)};
    }

private:
    struct Entry {
        std::filesystem::path file;
        std::string text;
        std::shared_ptr<const HiveTree> tree;
    };
    std::mutex m_lock;
    std::array<Entry, 3> m_entries;   // by Hive; guarded by m_lock
};

ReadTrees& read_trees()
{
    static ReadTrees trees;
    return trees;
}

}

std::string_view hive_name(Hive hive)
{
    switch (hive) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_UNKNOWN";
}

RegistryStore::RegistryStore(std::filesystem::path folder, Hive hive)
    : m_hive(hive), m_folder(std::move(folder)),
      m_file(m_folder / (std::string(hive_name(hive)) + ".reg")),
      m_lock_file(m_folder / (std::string(hive_name(hive)) + ".lock"))
{
}

std::filesystem::path RegistryStore::default_folder()
{
    if (const char* dir = std::getenv("STRIMO_REGISTRY_DIR"); dir && dir[0] == '/') return dir;
    if (auto config = config_folder()) return std::filesystem::path(*config) / "Corvalen" / "Strimo" / "registry";
    debug_log("registry: no home folder, so no hive to read or write");
    return {};
}

LONG RegistryStore::check_writable() const
{
    if (m_folder.empty()) return ERROR_ACCESS_DENIED;
    struct stat info {};
    if (::stat(m_file.c_str(), &info) == 0 && (info.st_mode & 0222) == 0) return ERROR_ACCESS_DENIED;
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec) return error_from_errno(ec.value());
    return ::access(m_folder.c_str(), W_OK) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegistryStore::load(std::shared_ptr<const HiveTree>& tree) const
{
    static const auto empty = std::make_shared<const HiveTree>();
    tree = empty;
    if (m_folder.empty()) return ERROR_SUCCESS;   // no place for a hive: nothing was ever written
    FileData file = read_file(m_file);
    if (file.error == ENOENT) return ERROR_SUCCESS;   // a hive never written is empty
    if (!file) return error_from_errno(file.error);
    if (auto kept = read_trees().find(m_hive, m_file, file.bytes)) {
        tree = std::move(kept);
        return ERROR_SUCCESS;
    }
    try {
        auto parsed = std::make_shared<const HiveTree>(HiveTree::parse(file.bytes));
        read_trees().keep(m_hive, m_file, std::move(file.bytes), parsed);
        tree = std::move(parsed);
        return ERROR_SUCCESS;
    } catch (const HiveFormatError& e) {
        debug_log("registry: " + m_file.string() + " is damaged and left untouched: " + e.what());
        return ERROR_INVALID_DATA;
    }
}

LONG RegistryStore::save(const HiveTree& tree) const
{
    int error = write_file_atomic(m_file, tree.format(hive_name(m_hive)));
    return error ? error_from_errno(error) : ERROR_SUCCESS;
}

LONG RegistryStore::change(const std::function<LONG(HiveTree&)>& edit)
{
    if (LONG rc = check_writable(); rc != ERROR_SUCCESS) return rc;
    HiveLock lock(m_lock_file);
    if (lock.error() != ERROR_SUCCESS) return lock.error();
    std::shared_ptr<const HiveTree> current;
    if (LONG rc = load(current); rc != ERROR_SUCCESS) return rc;
    HiveTree tree = *current;
    if (LONG rc = edit(tree); rc != ERROR_SUCCESS) return rc;
    return save(tree);
}

LONG RegistryStore::find_key(std::u16string_view path) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const HiveTree> tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    return tree->find(*key_path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG RegistryStore::create_key(std::u16string_view path, KeyDisposition* disposition)
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    bool created = false;
    LONG rc = change([&](HiveTree& tree) {
        created = tree.create(*key_path);
        return ERROR_SUCCESS;
    });
    if (rc == ERROR_SUCCESS && disposition)
        *disposition = created ? KeyDisposition::CreatedNew : KeyDisposition::OpenedExisting;
    return rc;
}

LONG RegistryStore::delete_key(std::u16string_view path)
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    if (key_path->empty()) return ERROR_ACCESS_DENIED;
    return change([&](HiveTree& tree) {
        if (!tree.find(*key_path)) return ERROR_FILE_NOT_FOUND;
        if (tree.has_subkeys(*key_path)) return ERROR_ACCESS_DENIED;
        tree.erase(*key_path);
        return ERROR_SUCCESS;
    });
}

LONG RegistryStore::subkey_names(std::u16string_view path, std::vector<std::u16string>& out) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const HiveTree> tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    if (!tree->find(*key_path)) return ERROR_FILE_NOT_FOUND;
    out = tree->subkey_names(*key_path);
    return ERROR_SUCCESS;
}

LONG RegistryStore::read_value(std::u16string_view path, std::u16string_view name, RegistryValue& out) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const HiveTree> tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    const HiveKey* key = tree->find(*key_path);
    const NamedRegistryValue* value = key ? key->find_value(name) : nullptr;
    if (!value) return ERROR_FILE_NOT_FOUND;
    out = value->value;
    return ERROR_SUCCESS;
}

LONG RegistryStore::write_value(std::u16string_view path, std::u16string_view name, const RegistryValue& value)
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    return change([&](HiveTree& tree) {
        HiveKey* key = tree.find(*key_path);
        if (!key) return ERROR_FILE_NOT_FOUND;
        HiveTree::set_value(*key, name, value);
        return ERROR_SUCCESS;
    });
}

LONG RegistryStore::delete_value(std::u16string_view path, std::u16string_view name)
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    return change([&](HiveTree& tree) {
        HiveKey* key = tree.find(*key_path);
        if (!key || !HiveTree::erase_value(*key, name)) return ERROR_FILE_NOT_FOUND;
        return ERROR_SUCCESS;
    });
}

LONG RegistryStore::values(std::u16string_view path, std::vector<NamedRegistryValue>& out) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    std::shared_ptr<const HiveTree> tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    const HiveKey* key = tree->find(*key_path);
    if (!key) return ERROR_FILE_NOT_FOUND;
    out = key->values;
    return ERROR_SUCCESS;
}

}
