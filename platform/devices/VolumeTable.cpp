#include "VolumeTable.h"

#include "MountInfo.h"
#include "platform/fs/Files.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>

namespace plat {

namespace {

constexpr char first_letter = 'C';   // A and B were floppy drives, never volumes
constexpr char last_letter = 'Z';

bool is_network_fs(std::string_view type)
{
    constexpr std::array<std::string_view, 12> network = {
        "nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "ceph", "glusterfs", "fuse.sshfs", "fuse.glusterfs",
        "davfs"};
    return std::find(network.begin(), network.end(), type) != network.end();
}

bool flag_set(const std::string& path)
{
    const FileData data = read_file(path);
    return data && !data.bytes.empty() && data.bytes[0] == '1';
}

// sysfs's dev/block/MAJ:MIN links to the device. File systems such as btrfs
// show an anonymous number (major 0); their source "/dev/NAME" is then looked
// up as class/block/NAME. Nothing when sysfs knows no such block device.
std::optional<std::string> block_device_folder(const std::string& sysfs_root, const MountEntry& m)
{
    std::string device;
    if (m.major != 0) {
        device = sysfs_root + "/dev/block/" + std::to_string(m.major) + ":" + std::to_string(m.minor);
    } else if (m.source.starts_with("/dev/") && m.source.find('/', 5) == std::string::npos) {
        device = sysfs_root + "/class/block/" + m.source.substr(5);
    } else {
        return std::nullopt;
    }
    std::error_code error;
    if (!std::filesystem::is_directory(device, error)) return std::nullopt;
    return device;
}

// A partition's disk is its parent folder.
bool is_removable_device(const std::string& device)
{
    return flag_set(device + "/removable") || flag_set(device + "/../removable");
}

bool is_removable_device(const std::string& sysfs_root, const MountEntry& m)
{
    const std::optional<std::string> device = block_device_folder(sysfs_root, m);
    return device && is_removable_device(*device);
}

bool contains(const std::string& mount_point, const std::string& path)
{
    if (mount_point == "/") return true;
    return path.starts_with(mount_point) && (path.size() == mount_point.size() || path[mount_point.size()] == '/');
}

}

std::vector<VolumeChange> VolumeTable::update(const std::vector<MountedVolume>& mounted)
{
    std::vector<VolumeChange> changes;
    std::erase_if(m_entries, [&](const Entry& e) {
        const bool still = std::any_of(mounted.begin(), mounted.end(), [&](const MountedVolume& v) {
            return v.key == e.key && v.folder == e.volume.folder;
        });
        if (!still) changes.push_back({VolumeChange::Kind::Removal, e.volume});
        return !still;
    });
    for (const MountedVolume& v : mounted) {
        const bool listed =
            std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry& e) { return e.key == v.key; });
        if (listed) continue;
        const char letter = lowest_free_letter();
        if (letter == 0) break;
        Entry entry{v.key, Volume{letter, v.kind, v.folder}};
        changes.push_back({VolumeChange::Kind::Arrival, entry.volume});
        m_entries.push_back(std::move(entry));
    }
    return changes;
}

char VolumeTable::lowest_free_letter() const
{
    for (char letter = first_letter; letter <= last_letter; ++letter) {
        const bool taken = std::any_of(m_entries.begin(), m_entries.end(),
                                       [letter](const Entry& e) { return e.volume.letter == letter; });
        if (!taken) return letter;
    }
    return 0;
}

std::optional<Volume> VolumeTable::find(char letter) const
{
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    for (const Entry& e : m_entries)
        if (e.volume.letter == letter) return e.volume;
    return std::nullopt;
}

std::vector<Volume> VolumeTable::volumes() const
{
    std::vector<Volume> all;
    for (const Entry& e : m_entries) all.push_back(e.volume);
    return all;
}

std::vector<MountedVolume> removable_and_network_volumes(const std::string& mountinfo, const std::string& sysfs_root)
{
    std::vector<MountedVolume> volumes;
    std::set<std::string> keys;
    for (const MountEntry& m : parse_mountinfo(mountinfo)) {
        if (m.root != "/") continue;   // a bind mount shows part of a volume listed elsewhere
        MountedVolume v;
        if (is_network_fs(m.fs_type)) {
            v = {"net " + m.source + " " + m.mount_point, DriveKind::Remote, m.mount_point};
        } else if (is_removable_device(sysfs_root, m)) {
            v = {"dev " + std::to_string(m.major) + ":" + std::to_string(m.minor), DriveKind::Removable, m.mount_point};
        } else {
            continue;
        }
        if (keys.insert(v.key).second) volumes.push_back(std::move(v));
    }
    return volumes;
}

DriveKind drive_kind_of(const std::string& path, const std::string& mountinfo, const std::string& sysfs_root)
{
    std::optional<MountEntry> holder;
    for (MountEntry& m : parse_mountinfo(mountinfo)) {
        // The later of two mounts on one point is the one on top.
        if (contains(m.mount_point, path) && (!holder || m.mount_point.size() >= holder->mount_point.size()))
            holder = std::move(m);
    }
    if (!holder) return DriveKind::Unknown;
    if (is_network_fs(holder->fs_type)) return DriveKind::Remote;
    if (holder->fs_type == "tmpfs" || holder->fs_type == "ramfs") return DriveKind::RamDisk;
    const std::optional<std::string> device = block_device_folder(sysfs_root, *holder);
    if (!device) return DriveKind::Unknown;
    return is_removable_device(*device) ? DriveKind::Removable : DriveKind::Fixed;
}

}
