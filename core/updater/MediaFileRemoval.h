#pragma once
// Deleting a feed item's local media file. The path comes from a database row
// that other programs may write, so a file is deleted only when it lies inside
// one of the program's own folders (the download and cache folders): an
// absolute path without "..", whose folders, followed from the real path of
// one of those folders, contain no symbolic link, and which names a regular
// file there (a symbolic link is never followed out).

#include <span>
#include <string>

enum class MediaFileRemoval {
    Removed,
    Outside,   // not inside any of the folders, or reached through a symbolic link: left alone
    Failed,    // inside, but missing or not deletable
};

MediaFileRemoval remove_media_file(const std::string& path, std::span<const std::string> folders);
