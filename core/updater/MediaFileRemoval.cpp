#include "core/updater/MediaFileRemoval.h"

#include "platform/fs/UniqueFd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string_view> components(std::string_view path)
{
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        const std::size_t slash = path.find('/');
        const std::string_view part = path.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        if (slash == std::string_view::npos)
            break;
        path.remove_prefix(slash + 1);
    }
    return parts;
}

std::optional<std::string> real_path(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return std::nullopt;
    return std::string(resolved.get());
}

// The part of inner below outer ("" when they are one), or nothing when inner is not below outer.
std::optional<std::string_view> below(std::string_view inner, std::string_view outer)
{
    if (outer == "/")
        return inner.substr(1);
    if (!inner.starts_with(outer) || (inner.size() > outer.size() && inner[outer.size()] != '/'))
        return std::nullopt;
    return inner.substr(outer.size());
}

// Walks down from root through folders only, never through a symbolic link,
// and deletes name there when it is a regular file.
MediaFileRemoval remove_below(const std::string& root, std::string_view relative, const std::string& name)
{
    plat::UniqueFd folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.valid())
        return MediaFileRemoval::Failed;
    for (std::string_view part : components(relative)) {
        plat::UniqueFd next(::openat(folder.get(), std::string(part).c_str(),
                                     O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!next.valid())
            return MediaFileRemoval::Outside;
        folder = std::move(next);
    }
    struct stat status{};
    if (::fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return MediaFileRemoval::Failed;
    if (!S_ISREG(status.st_mode))
        return MediaFileRemoval::Outside;
    return ::unlinkat(folder.get(), name.c_str(), 0) == 0 ? MediaFileRemoval::Removed : MediaFileRemoval::Failed;
}

}

MediaFileRemoval remove_media_file(const std::string& path, std::span<const std::string> folders)
{
    if (!path.starts_with('/'))
        return MediaFileRemoval::Outside;
    const std::vector<std::string_view> parts = components(path);
    for (std::string_view part : parts)
        if (part == "..")
            return MediaFileRemoval::Outside;
    if (parts.empty() || path.ends_with('/'))
        return MediaFileRemoval::Outside;
    const std::string name(parts.back());
    const std::string parent = path.substr(0, path.rfind('/') + 1);
    const std::optional<std::string> real_parent = real_path(parent);
    if (!real_parent)
        return MediaFileRemoval::Failed;
    for (const std::string& folder : folders) {
        const std::optional<std::string> real_folder = folder.empty() ? std::nullopt : real_path(folder);
        if (!real_folder)
            continue;
        if (const auto relative = below(*real_parent, *real_folder))
            return remove_below(*real_folder, *relative, name);
    }
    return MediaFileRemoval::Outside;
}
