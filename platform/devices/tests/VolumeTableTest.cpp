#include "platform/devices/MountInfo.h"
#include "platform/devices/VolumeTable.h"
#include "platform/fs/testing/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace fs = std::filesystem;
using namespace plat;

namespace {

// A small sysfs: sdb is a removable disk with a partition sdb1, sda a fixed
// disk, sr0 a removable drive without partitions.
struct FakeSysfs {
    TempFolder folder;

    FakeSysfs()
    {
        disk("sda", "8:0", false, {{"sda1", "8:1"}});
        disk("sdb", "8:16", true, {{"sdb1", "8:17"}});
        disk("sr0", "11:0", true, {});
    }

    void disk(const std::string& name, const std::string& number, bool removable,
              const std::vector<std::pair<std::string, std::string>>& partitions)
    {
        const fs::path block = fs::path(folder.path()) / "devices/block" / name;
        fs::create_directories(block);
        std::ofstream(block / "removable") << (removable ? "1\n" : "0\n");
        link(block, name, number);
        for (const auto& [part, part_number] : partitions) {
            fs::create_directories(block / part);
            link(block / part, part, part_number);
        }
    }

    void link(const fs::path& target, const std::string& name, const std::string& number)
    {
        const fs::path dev = fs::path(folder.path()) / "dev/block";
        const fs::path by_name = fs::path(folder.path()) / "class/block";
        fs::create_directories(dev);
        fs::create_directories(by_name);
        fs::create_directory_symlink(target, dev / number);
        fs::create_directory_symlink(target, by_name / name);
    }
};

std::string line(const std::string& device, const std::string& root, const std::string& point,
                 const std::string& type, const std::string& source)
{
    return "36 25 " + device + " " + root + " " + point + " rw,nosuid shared:7 - " + type + " " + source + " rw\n";
}

}

TEST(MountInfo, FieldsAreReadAndUnescaped)
{
    const std::string text = line("8:17", "/", "/media/me/My\\040Stick", "vfat", "/dev/sdb1") +
                             "37 25 0:52 / /mnt/share rw - nfs4 server:/export\\134x rw\n" +
                             "garbage without fields\n" + "38 25 8:1 / /home rw shared:1 no-dash-here ext4\n" +
                             "39 25 x:1 / /bad rw - ext4 /dev/x rw\n";
    const std::vector<MountEntry> mounts = parse_mountinfo(text);
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].major, 8u);
    EXPECT_EQ(mounts[0].minor, 17u);
    EXPECT_EQ(mounts[0].mount_point, "/media/me/My Stick");
    EXPECT_EQ(mounts[0].fs_type, "vfat");
    EXPECT_EQ(mounts[1].major, 0u);
    EXPECT_EQ(mounts[1].mount_point, "/mnt/share");
    EXPECT_EQ(mounts[1].source, "server:/export\\x");
    EXPECT_EQ(mounts[1].fs_type, "nfs4");
}

TEST(VolumeTable, RemovableDevicesAndNetworkMountsAreVolumes)
{
    FakeSysfs sys;
    const std::string text = line("8:1", "/", "/", "ext4", "/dev/sda1") +                // fixed disk
                             line("8:17", "/", "/media/a\\040b", "vfat", "/dev/sdb1") +  // partition of a removable disk
                             line("11:0", "/", "/media/cd", "iso9660", "/dev/sr0") +    // removable, no partition
                             line("8:17", "/sub", "/srv/bind", "vfat", "/dev/sdb1") +   // bind mount of part of it
                             line("8:17", "/", "/media/again", "vfat", "/dev/sdb1") +   // the same volume again
                             line("0:52", "/", "/mnt/share", "cifs", "//server/share") +
                             line("0:21", "/", "/proc", "proc", "proc") +
                             line("0:30", "/", "/run", "tmpfs", "tmpfs");
    const std::vector<MountedVolume> volumes = removable_and_network_volumes(text, sys.folder.path());
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].folder, "/media/a b");
    EXPECT_EQ(volumes[0].kind, DriveKind::Removable);
    EXPECT_EQ(volumes[1].folder, "/media/cd");
    EXPECT_EQ(volumes[2].folder, "/mnt/share");
    EXPECT_EQ(volumes[2].kind, DriveKind::Remote);
}

TEST(VolumeTable, KindOfTheDriveThatHoldsAPath)
{
    FakeSysfs sys;
    const std::string text = line("0:40", "/", "/", "overlay", "overlay") +
                             line("0:35", "/home", "/home", "btrfs", "/dev/sda1") +   // anonymous number
                             line("8:17", "/", "/media/a\\040b", "vfat", "/dev/sdb1") +
                             line("8:1", "/films", "/media/a\\040b/bound", "ext4", "/dev/sda1") +  // bind mount
                             line("0:52", "/", "/mnt/share", "cifs", "//server/share") +
                             line("0:53", "/", "/mnt/sshfs", "fuse.sshfs", "me@host:") +
                             line("0:30", "/", "/run", "tmpfs", "tmpfs") +
                             line("0:21", "/", "/proc", "proc", "proc") +
                             line("11:0", "/", "/mnt/share", "iso9660", "/dev/sr0") +   // mounted over the share
                             line("0:36", "/", "/mnt/gone", "btrfs", "/dev/sdz1");
    const struct {
        std::string path;
        DriveKind kind;
    } cases[] = {
        {"/", DriveKind::Unknown},
        {"/usr/lib", DriveKind::Unknown},
        {"/home", DriveKind::Fixed},
        {"/home/me/Videos", DriveKind::Fixed},
        {"/homework", DriveKind::Unknown},
        {"/media/a b", DriveKind::Removable},
        {"/media/a b/clip.mp4", DriveKind::Removable},
        {"/media/a bc", DriveKind::Unknown},
        {"/media/a b/bound/x", DriveKind::Fixed},
        {"/mnt/sshfs/x", DriveKind::Remote},
        {"/run/user/1000", DriveKind::RamDisk},
        {"/proc/self", DriveKind::Unknown},
        {"/mnt/share/x", DriveKind::Removable},
        {"/mnt/gone", DriveKind::Unknown},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(drive_kind_of(c.path, text, sys.folder.path()), c.kind);
    }
    EXPECT_EQ(drive_kind_of("/x", "", sys.folder.path()), DriveKind::Unknown);
}

TEST(VolumeTable, LettersStartAtCAreKeptWhileMountedAndFreedLettersAreReused)
{
    VolumeTable table;
    const MountedVolume stick{"dev 8:17", DriveKind::Removable, "/media/stick"};
    const MountedVolume cd{"dev 11:0", DriveKind::Removable, "/media/cd"};
    const MountedVolume share{"net s /mnt/share", DriveKind::Remote, "/mnt/share"};

    std::vector<VolumeChange> changes = table.update({stick, cd});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].volume.letter, 'C');
    EXPECT_EQ(changes[1].volume.letter, 'D');

    // The stick goes: the cd keeps D, and the share takes the freed C.
    changes = table.update({cd, share});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].kind, VolumeChange::Kind::Removal);
    EXPECT_EQ(changes[0].volume.letter, 'C');
    EXPECT_EQ(changes[1].kind, VolumeChange::Kind::Arrival);
    EXPECT_EQ(changes[1].volume.letter, 'C');
    EXPECT_EQ(changes[1].volume.kind, DriveKind::Remote);
    EXPECT_EQ(table.find('d')->folder, "/media/cd");

    // A scan that changes nothing tells nothing.
    EXPECT_TRUE(table.update({cd, share}).empty());

    // A volume mounted elsewhere is a removal and an arrival.
    changes = table.update({{cd.key, cd.kind, "/media/cd2"}, share});
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(table.find('D')->folder, "/media/cd2");
}

TEST(VolumeTable, NoMoreThanTheLettersCToZ)
{
    std::vector<MountedVolume> many;
    for (int i = 0; i < 30; ++i) many.push_back({"dev 8:" + std::to_string(i), DriveKind::Removable, "/m" + std::to_string(i)});
    VolumeTable table;
    EXPECT_EQ(table.update(many).size(), 24u);
    EXPECT_EQ(table.find('Z')->folder, "/m23");
    EXPECT_FALSE(table.find('B'));
}
