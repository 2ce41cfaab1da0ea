#pragma once
// What /proc/self/mountinfo says is mounted, read into records.

#include <string>
#include <string_view>
#include <vector>

namespace plat {

struct MountEntry {
    unsigned major = 0;        // the device number; 0 for network and virtual file systems
    unsigned minor = 0;
    std::string root;          // the folder of the file system mounted here ("/" unless a bind mount)
    std::string mount_point;   // unescaped
    std::string fs_type;
    std::string source;        // unescaped ("server:/export", "/dev/sdb1")
};

// The mounts of a mountinfo text in its order. A line that does not have the
// fields of the format is skipped, not guessed at.
std::vector<MountEntry> parse_mountinfo(std::string_view text);

}
