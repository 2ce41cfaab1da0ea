#include "Folders.h"

#include "platform/base/DebugLog.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

std::optional<std::string> environment(const char* name)
{
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

bool is_absolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

// The XDG base folder named by variable, else home + fallback. Relative values are
// invalid by the XDG rules and ignored.
std::optional<std::string> xdg_base(const char* variable, std::string_view fallback)
{
    if (auto value = environment(variable); value && is_absolute(*value)) return value;
    auto home = home_folder();
    if (!home) return std::nullopt;
    return join_path(*home, fallback);
}

std::optional<std::string> created(std::optional<std::string> folder)
{
    if (!folder || create_folder_tree(*folder)) return folder;
    debug_log("fs: cannot create folder " + *folder);
    return std::nullopt;
}

// The value of XDG_VIDEOS_DIR in a user-dirs.dirs file: a line XDG_VIDEOS_DIR="$HOME/x"
// or XDG_VIDEOS_DIR="/abs/x"; other forms are not written by the tools that keep the file.
std::optional<std::string> videos_from_user_dirs(const std::string& file, const std::string& home)
{
    std::ifstream in(file);
    constexpr std::string_view key = "XDG_VIDEOS_DIR=\"";
    for (std::string line; std::getline(in, line);) {
        if (!line.starts_with(key) || line.size() < key.size() + 1 || line.back() != '"') continue;
        std::string_view value(line.data() + key.size(), line.size() - key.size() - 1);
        if (value.starts_with("$HOME")) {
            value.remove_prefix(5);
            return home + std::string(value);
        }
        if (is_absolute(value)) return std::string(value);
    }
    return std::nullopt;
}

}

std::optional<std::string> home_folder()
{
    if (auto home = environment("HOME"); home && is_absolute(*home)) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && is_absolute(entry->pw_dir ? entry->pw_dir : ""))
        return std::string(entry->pw_dir);
    return std::nullopt;
}

std::optional<std::string> config_folder() { return xdg_base("XDG_CONFIG_HOME", ".config"); }

std::string join_path(std::string_view base, std::string_view name)
{
    if (base.empty()) return std::string(name);
    while (name.starts_with('/')) name.remove_prefix(1);
    std::string path(base);
    if (path.back() != '/') path += '/';
    path += name;
    return path;
}

bool create_folder_tree(const std::string& path)
{
    if (path.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
}

std::string program_file()
{
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        debug_log("fs: cannot read /proc/self/exe: " + error.message());
        return {};
    }
    return exe.string();
}

std::string program_folder()
{
    const std::string exe = program_file();
    if (exe.empty()) {
        std::error_code error;
        return std::filesystem::current_path(error).string();
    }
    return std::filesystem::path(exe).parent_path().string();
}

std::optional<std::string> app_data_folder() { return created(xdg_base("XDG_DATA_HOME", ".local/share")); }

std::optional<std::string> strimo_data_folder()
{
    auto root = xdg_base("XDG_DATA_HOME", ".local/share");
    if (!root) return std::nullopt;
    return created(join_path(*root, "Corvalen/Strimo"));
}

std::optional<std::string> videos_folder()
{
    auto home = home_folder();
    if (!home) return std::nullopt;
    std::optional<std::string> folder;
    if (auto config = config_folder())
        folder = videos_from_user_dirs(join_path(*config, "user-dirs.dirs"), *home);
    if (!folder) folder = join_path(*home, "Videos");
    return created(std::move(folder));
}

std::optional<std::string> runtime_folder()
{
    std::string folder;
    if (auto chosen = environment("STRIMO_RUNTIME_DIR"); chosen && is_absolute(*chosen))
        folder = *chosen;
    else if (auto runtime = environment("XDG_RUNTIME_DIR"); runtime && is_absolute(*runtime))
        folder = join_path(*runtime, "strimo");
    else
        folder = "/tmp/strimo-" + std::to_string(getuid());
    if (!create_folder_tree(folder)) {
        debug_log("fs: cannot create runtime folder " + folder);
        return std::nullopt;
    }
    // In a shared /tmp another user could have made the folder first; lock files and
    // sockets there must be ours alone.
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        debug_log("fs: runtime folder not owned by this user: " + folder);
        return std::nullopt;
    }
    if ((st.st_mode & 077) != 0 && ::chmod(folder.c_str(), 0700) != 0) return std::nullopt;
    return folder;
}

std::string temp_folder()
{
    if (auto tmp = environment("TMPDIR"); tmp && is_absolute(*tmp)) {
        while (tmp->size() > 1 && tmp->back() == '/') tmp->pop_back();
        return *tmp;
    }
    return "/tmp";
}

}
