// The mount table from anywhere, read as the volume monitor reads it: every
// line is taken or skipped, and every volume found is one of the table's
// mounts. The devices are a small sysfs of our own: sdb, a removable disk
// with a partition, and sr0, a removable drive.

#include "platform/devices/MountInfo.h"
#include "platform/devices/VolumeTable.h"
#include "platform/fs/testing/TempFolder.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

void add_device(const fs::path& root, const fs::path& block, const char* number, bool removable)
{
    fs::create_directories(block);
    fs::create_directories(root / "dev/block");
    fs::create_directory_symlink(block, root / "dev/block" / number);
    if (removable) std::ofstream(block / "removable") << "1\n";
}

const std::string& sysfs()
{
    static const plat::TempFolder folder;
    static const bool made = [] {
        const fs::path root = folder.path();
        add_device(root, root / "devices/block/sdb", "8:16", true);
        add_device(root, root / "devices/block/sdb/sdb1", "8:17", false);
        add_device(root, root / "devices/block/sr0", "11:0", true);
        return true;
    }();
    (void)made;
    return folder.path();
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::vector<plat::MountEntry> mounts = plat::parse_mountinfo(text);
    if (mounts.size() > static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1) std::abort();
    for (const plat::MountedVolume& volume : plat::removable_and_network_volumes(text, sysfs()))
        if (std::none_of(mounts.begin(), mounts.end(), [&](const plat::MountEntry& m) { return m.mount_point == volume.folder; }))
            std::abort();
    return 0;
}
