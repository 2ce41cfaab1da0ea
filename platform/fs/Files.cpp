#include "Files.h"

#include "UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

int write_all(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

std::string folder_of(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A new, exclusively created file beside path; its name is unique per process and
// thread, and a leftover of an earlier crash is stepped over.
int create_temporary(const std::string& path, std::string& temp_name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_name = path + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(::gettid()) + "." +
                    std::to_string(attempt);
        int fd = ::open(temp_name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

int write_and_replace(const std::string& path, const std::string& temp_name, UniqueFd& file, std::string_view bytes)
{
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && ::fchmod(file.get(), existing.st_mode & 07777) != 0) return errno;
    if (int error = write_all(file.get(), bytes)) return error;
    if (::fsync(file.get()) != 0) return errno;
    if (int error = file.close()) return error;
    if (::rename(temp_name.c_str(), path.c_str()) != 0) return errno;
    // Make the rename itself durable; a folder that cannot be synced still holds the new file.
    UniqueFd folder(::open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) ::fsync(folder.get());
    return 0;
}

}

FileData read_file(const std::string& path)
{
    FileData result;
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid()) {
        result.error = errno;
        return result;
    }
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            result.error = errno;
            result.bytes.clear();
            break;
        }
        result.bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return result;
}

int write_file_atomic(const std::string& path, std::string_view bytes)
{
    if (path.empty() || path.back() == '/') return EINVAL;
    std::string temp_name;
    UniqueFd file(create_temporary(path, temp_name));
    if (!file.valid()) return errno;
    int error = write_and_replace(path, temp_name, file, bytes);
    if (error) ::unlink(temp_name.c_str());
    return error;
}

bool list_folder(const std::string& path, std::vector<FolderEntry>& entries)
{
    entries.clear();
    std::error_code error;
    std::filesystem::directory_iterator it(path, error);
    if (error) return false;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) {
            entries.clear();
            return false;
        }
        FolderEntry entry{it->path().filename().string(), EntryKind::Other};
        std::error_code entry_error;
        auto status = it->status(entry_error);
        if (std::filesystem::is_regular_file(status)) {
            entry.kind = EntryKind::File;
            auto size = it->file_size(entry_error);
            entry.size = entry_error ? 0 : size;
        } else if (std::filesystem::is_directory(status)) {
            entry.kind = EntryKind::Folder;
        }
        entries.push_back(std::move(entry));
    }
    if (error) {
        entries.clear();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return true;
}

}

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}
