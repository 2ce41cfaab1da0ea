#pragma once
// Whole-file reads, crash-safe whole-file writes and folder listings.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plat {

// A whole file's bytes, or the errno of the failure (ENOENT when it does not exist).
struct FileData {
    std::string bytes;
    int error = 0;   // 0 on success

    explicit operator bool() const { return error == 0; }
};

FileData read_file(const std::string& path);

// Replaces the file in one step: the bytes go to a new file in the same folder,
// which is flushed to disk and renamed over the target, so a reader or a crash
// sees either the old content or the new, never a mix. An existing file keeps
// its permission bits. Returns 0 or the errno of the failure; on failure the
// old file is untouched and no temporary file is left.
int write_file_atomic(const std::string& path, std::string_view bytes);

enum class EntryKind { File, Folder, Other };

struct FolderEntry {
    std::string name;        // without the folder
    EntryKind kind;          // symbolic links are followed
    std::uint64_t size = 0;  // bytes, for files
};

// The entries of a folder, "." and ".." left out, sorted by name.
// Returns false (and leaves entries empty) when the folder cannot be read.
bool list_folder(const std::string& path, std::vector<FolderEntry>& entries);

}

// True when the path names a regular file (links followed): what carries the
// archive attribute (0x20) here. A folder (0x10), anything else, or nothing
// there counts as missing.
bool FileExists(const std::string& path);
