#include "RegistryStore.h"

#include "platform/base/DebugLog.h"
#include "platform/base/HResult.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }

private:
    int m_fd;
};

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

std::filesystem::path home_folder()
{
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

bool write_all(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        text.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

LONG read_all(const std::filesystem::path& file, std::string& out)
{
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) return errno == ENOENT ? ERROR_SUCCESS : error_from_errno(errno);
    char buffer[16384];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return error_from_errno(errno);
        if (n == 0) return ERROR_SUCCESS;
        out.append(buffer, static_cast<std::size_t>(n));
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
    FileDescriptor m_fd;
    LONG m_error = ERROR_SUCCESS;
};

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
    if (const char* dir = std::getenv("STRIMO_REGISTRY_DIR"); dir && *dir) return dir;
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) config = xdg;
    else config = home_folder() / ".config";
    return config / "Corvalen" / "Strimo" / "registry";
}

LONG RegistryStore::check_writable() const
{
    struct stat info {};
    if (::stat(m_file.c_str(), &info) == 0 && (info.st_mode & 0222) == 0) return ERROR_ACCESS_DENIED;
    std::error_code ec;
    std::filesystem::create_directories(m_folder, ec);
    if (ec) return error_from_errno(ec.value());
    return ::access(m_folder.c_str(), W_OK) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
}

LONG RegistryStore::load(HiveTree& tree) const
{
    std::string text;
    if (LONG rc = read_all(m_file, text); rc != ERROR_SUCCESS) return rc;
    try {
        tree = HiveTree::parse(text);
        return ERROR_SUCCESS;
    } catch (const HiveFormatError& e) {
        debug_log("registry: " + m_file.string() + " is damaged and left untouched: " + e.what());
        return ERROR_INVALID_DATA;
    }
}

LONG RegistryStore::save(const HiveTree& tree) const
{
    const std::filesystem::path temporary = m_file.string() + ".tmp";
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) return error_from_errno(errno);
    // The new version must be whole on disk before it replaces the old one.
    if (!write_all(fd.get(), tree.format(hive_name(m_hive))) || ::fsync(fd.get()) != 0 ||
        ::rename(temporary.c_str(), m_file.c_str()) != 0) {
        LONG rc = error_from_errno(errno);
        ::unlink(temporary.c_str());
        return rc;
    }
    return ERROR_SUCCESS;
}

LONG RegistryStore::change(const std::function<LONG(HiveTree&)>& edit)
{
    if (LONG rc = check_writable(); rc != ERROR_SUCCESS) return rc;
    HiveLock lock(m_lock_file);
    if (lock.error() != ERROR_SUCCESS) return lock.error();
    HiveTree tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    if (LONG rc = edit(tree); rc != ERROR_SUCCESS) return rc;
    return save(tree);
}

LONG RegistryStore::find_key(std::u16string_view path) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    HiveTree tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    return tree.find(*key_path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
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
    HiveTree tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    if (!tree.find(*key_path)) return ERROR_FILE_NOT_FOUND;
    out = tree.subkey_names(*key_path);
    return ERROR_SUCCESS;
}

LONG RegistryStore::read_value(std::u16string_view path, std::u16string_view name, RegistryValue& out) const
{
    auto key_path = normalise_key_path(path);
    if (!key_path) return ERROR_INVALID_PARAMETER;
    HiveTree tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    const HiveKey* key = tree.find(*key_path);
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
    HiveTree tree;
    if (LONG rc = load(tree); rc != ERROR_SUCCESS) return rc;
    const HiveKey* key = tree.find(*key_path);
    if (!key) return ERROR_FILE_NOT_FOUND;
    out = key->values;
    return ERROR_SUCCESS;
}

}
