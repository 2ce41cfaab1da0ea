#pragma once
// Drive letters for the volumes a user plugs in or mounts from the network,
// as the system's code expects them: letters from C, the lowest free one for
// a new volume, kept for as long as the volume stays mounted.

#include <optional>
#include <string>
#include <vector>

namespace plat {

// Lettered volumes are removable or remote (given ones may be fixed too); the
// other kinds answer only what holds a path.
enum class DriveKind { Removable, Remote, Fixed, RamDisk, Unknown };

struct Volume {
    char letter = 0;      // 'C' to 'Z'
    DriveKind kind = DriveKind::Removable;
    std::string folder;   // where its root is mounted
};

// One volume as a scan sees it; the key tells the same volume apart between scans.
struct MountedVolume {
    std::string key;
    DriveKind kind = DriveKind::Removable;
    std::string folder;
};

struct VolumeChange {
    enum class Kind { Arrival, Removal } kind;
    Volume volume;
};

class VolumeTable {
public:
    // Makes the table what `mounted` says, in its order, and returns what came
    // and went (removals first, so a freed letter can be taken again). A volume
    // with no letter left (more than 24) is not listed.
    std::vector<VolumeChange> update(const std::vector<MountedVolume>& mounted);

    std::optional<Volume> find(char letter) const;
    std::vector<Volume> volumes() const;

private:
    struct Entry {
        std::string key;
        Volume volume;
    };
    char lowest_free_letter() const;

    std::vector<Entry> m_entries;
};

// The table's rule for one scan of mountinfo: volumes on removable block
// devices (the "removable" flag of the device in sysfs, or of its disk for a
// partition) and network file systems; bind mounts and second mounts of a
// device are the volume already listed.
std::vector<MountedVolume> removable_and_network_volumes(const std::string& mountinfo, const std::string& sysfs_root);

// The kind of drive that holds an absolute, resolved path, by the topmost
// mount that contains it: a network file system is remote; a block device
// known to sysfs is removable by its flag (or its disk's), else fixed; tmpfs
// and ramfs are RAM disks; anything else (overlay, proc, fuse) is unknown.
DriveKind drive_kind_of(const std::string& path, const std::string& mountinfo, const std::string& sysfs_root);

}
