#include "platform/devices/Drives.h"
#include "platform/devices/VolumeMonitor.h"
#include "platform/base/Utf.h"
#include "platform/fs/testing/TempFolder.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

namespace fs = std::filesystem;
using namespace plat;

namespace {

struct Heard {
    HWND window;
    WPARAM event;
    DEV_BROADCAST_VOLUME record;
};

// Gives the monitor volumes by hand and records what registered windows hear.
struct GivenVolumes {
    TempFolder folder;
    std::vector<Heard> heard;

    GivenVolumes()
    {
        VolumeMonitor::instance().set_sink([this](HWND w, std::uintptr_t event, std::unique_ptr<DEV_BROADCAST_VOLUME> r) {
            heard.push_back({w, event, *r});
        });
    }
    ~GivenVolumes()
    {
        VolumeMonitor::instance().use_given_volumes({});
        VolumeMonitor::instance().set_sink(nullptr);
    }
};

HWND window(std::uintptr_t n)
{
    return reinterpret_cast<HWND>(n);
}

}

TEST(Drives, DriveTypesAndPathsFollowTheGivenVolumes)
{
    GivenVolumes given;
    fs::create_directories(fs::path(given.folder.path()) / "stick/iPod_Control");
    std::ofstream(fs::path(given.folder.path()) / "stick/clip.mp4") << "x";
    VolumeMonitor::instance().use_given_volumes(
        {{'E', DriveKind::Removable, given.folder / "stick"}, {'N', DriveKind::Remote, given.folder.path()}});

    const struct {
        const char* root;
        UINT type;
    } types[] = {{"E:\\", DRIVE_REMOVABLE}, {"e:\\", DRIVE_REMOVABLE}, {"N:\\", DRIVE_REMOTE}, {"N:", DRIVE_REMOTE},
                 {"F:\\", DRIVE_NO_ROOT_DIR}, {"E:\\x", DRIVE_NO_ROOT_DIR}, {"", DRIVE_NO_ROOT_DIR},
                 {"1:\\", DRIVE_NO_ROOT_DIR}};
    for (const auto& c : types) {
        SCOPED_TRACE(c.root);
        EXPECT_EQ(GetDriveTypeA(c.root), c.type);
    }
    EXPECT_EQ(GetDriveTypeW(u"E:\\"), DRIVE_REMOVABLE);
    EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);

    const struct {
        std::string path;
        DWORD attributes;
    } paths[] = {{"E:\\iPod_Control", FILE_ATTRIBUTE_DIRECTORY},
                 {"E:\\clip.mp4", FILE_ATTRIBUTE_ARCHIVE},
                 {"E:\\iTunes_Control", INVALID_FILE_ATTRIBUTES},
                 {"N:\\stick\\iPod_Control", FILE_ATTRIBUTE_DIRECTORY},
                 {"F:\\iPod_Control", INVALID_FILE_ATTRIBUTES},
                 {given.folder / "stick/clip.mp4", FILE_ATTRIBUTE_ARCHIVE},
                 {"relative/path", INVALID_FILE_ATTRIBUTES}};
    for (const auto& c : paths) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetFileAttributesA(c.path.c_str()), c.attributes);
    }
    EXPECT_EQ(GetFileAttributesW(u"E:\\clip.mp4"), FILE_ATTRIBUTE_ARCHIVE);
}

// The settings' folder check: a folder's drive by the volume that holds it.
TEST(Drives, DriveTypeOfAFolderFollowsTheVolumeThatHoldsIt)
{
    GivenVolumes given;
    for (const char* sub : {"disk/Videos", "stick/DCIM", "share/films"}) fs::create_directories(given.folder / sub);
    fs::create_directory_symlink(given.folder / "stick/DCIM", given.folder / "disk/to-stick");
    VolumeMonitor::instance().use_given_volumes({{'C', DriveKind::Fixed, given.folder / "disk"},
                                                 {'E', DriveKind::Removable, given.folder / "stick"},
                                                 {'N', DriveKind::Remote, given.folder / "share"}});
    const struct {
        std::string path;
        UINT type;
    } cases[] = {
        {given.folder / "disk/Videos", DRIVE_FIXED},
        {given.folder / "disk/Videos/", DRIVE_FIXED},
        {given.folder / "disk/not/made/yet", DRIVE_FIXED},
        {given.folder / "disk/Videos/../../stick/DCIM", DRIVE_REMOVABLE},
        {given.folder / "disk/to-stick", DRIVE_REMOVABLE},
        {given.folder / "share/films", DRIVE_REMOTE},
        {"C:\\", DRIVE_FIXED},
        {"C:\\Videos", DRIVE_NO_ROOT_DIR},
        {"Videos", DRIVE_NO_ROOT_DIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(GetDriveTypeA(c.path.c_str()), c.type);
        EXPECT_EQ(GetDriveTypeW(plat::utf8_to_utf16(c.path).c_str()), c.type);
    }
    // Outside every given volume the system's mounts answer: /proc is no drive to keep files on.
    EXPECT_EQ(GetDriveTypeA("/proc/self"), DRIVE_UNKNOWN);
}

TEST(Drives, FreeSpaceOfTheVolumeThatHoldsAFolder)
{
    GivenVolumes given;
    VolumeMonitor::instance().use_given_volumes({{'E', DriveKind::Removable, given.folder.path()}});
    struct statvfs info {};
    ASSERT_EQ(::statvfs(given.folder.path().c_str(), &info), 0);
    const std::uint64_t total = std::uint64_t{info.f_blocks} * info.f_frsize;

    for (const std::string& folder : {given.folder.path(), std::string("E:\\"), std::string("e:\\")}) {
        SCOPED_TRACE(folder);
        ULARGE_INTEGER mine{}, all{}, free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(plat::utf8_to_utf16(folder).c_str(), &mine, &all, &free));
        EXPECT_EQ(all.QuadPart, total);
        EXPECT_LE(mine.QuadPart, free.QuadPart);
        EXPECT_LE(free.QuadPart, all.QuadPart);
        EXPECT_GT(free.QuadPart, 0u);
    }
    ULARGE_INTEGER free{};
    EXPECT_TRUE(GetDiskFreeSpaceExA(given.folder.path().c_str(), nullptr, nullptr, &free));
    EXPECT_TRUE(GetDiskFreeSpaceExW(nullptr, nullptr, nullptr, &free));
    for (const char* unreachable : {"/no/such/folder", "F:\\", "relative", ""}) {
        SCOPED_TRACE(unreachable);
        EXPECT_FALSE(GetDiskFreeSpaceExA(unreachable, nullptr, nullptr, &free));
    }
}

TEST(Drives, RegisteredWindowsHearArrivalsAndRemovalsUntilTheyUnregister)
{
    GivenVolumes given;
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    DEV_BROADCAST_HDR other{sizeof(DEV_BROADCAST_HDR), 3, 0};
    EXPECT_EQ(RegisterDeviceNotificationA(window(1), &other, DEVICE_NOTIFY_WINDOW_HANDLE), nullptr);
    EXPECT_EQ(RegisterDeviceNotificationA(window(1), &filter, 4), nullptr);
    HDEVNOTIFY first = RegisterDeviceNotificationA(window(1), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    HDEVNOTIFY second = RegisterDeviceNotificationA(window(2), &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);

    VolumeMonitor::instance().use_given_volumes({{'G', DriveKind::Removable, given.folder.path()}});
    ASSERT_EQ(given.heard.size(), 2u);
    EXPECT_EQ(given.heard[0].window, window(1));
    EXPECT_EQ(given.heard[1].window, window(2));
    EXPECT_EQ(given.heard[0].event, DBT_DEVICEARRIVAL);
    EXPECT_EQ(given.heard[0].record.dbcv_devicetype, DBT_DEVTYP_VOLUME);
    EXPECT_EQ(given.heard[0].record.dbcv_unitmask, 1u << 6);
    EXPECT_EQ(given.heard[0].record.dbcv_flags, 0);

    // Giving the same volumes again tells nothing.
    VolumeMonitor::instance().use_given_volumes({{'G', DriveKind::Removable, given.folder.path()}});
    EXPECT_EQ(given.heard.size(), 2u);

    EXPECT_TRUE(UnregisterDeviceNotification(first));
    EXPECT_FALSE(UnregisterDeviceNotification(first));
    given.heard.clear();
    VolumeMonitor::instance().use_given_volumes({{'N', DriveKind::Remote, given.folder.path()}});
    ASSERT_EQ(given.heard.size(), 2u);
    EXPECT_EQ(given.heard[0].window, window(2));
    EXPECT_EQ(given.heard[0].event, DBT_DEVICEREMOVECOMPLETE);
    EXPECT_EQ(given.heard[0].record.dbcv_unitmask, 1u << 6);
    EXPECT_EQ(given.heard[1].event, DBT_DEVICEARRIVAL);
    EXPECT_EQ(given.heard[1].record.dbcv_unitmask, 1u << 13);
    EXPECT_EQ(given.heard[1].record.dbcv_flags, DBTF_NET);
    EXPECT_TRUE(UnregisterDeviceNotification(second));
}

TEST(Drives, GivenVolumesTextOfDemos)
{
    const std::vector<Volume> volumes =
        parse_given_volumes("E=removable:/media/ipod;n=remote:/mnt/s;X=floppy:/a;B=removable:/b;Q=removable:rel;junk;;"
                            "F=removable:/with:colon;C=fixed:/home/me");
    ASSERT_EQ(volumes.size(), 4u);
    EXPECT_EQ(volumes[0].letter, 'E');
    EXPECT_EQ(volumes[0].folder, "/media/ipod");
    EXPECT_EQ(volumes[1].letter, 'N');
    EXPECT_EQ(volumes[1].kind, DriveKind::Remote);
    EXPECT_EQ(volumes[2].folder, "/with:colon");
    EXPECT_EQ(volumes[3].kind, DriveKind::Fixed);
}
